#include "desktop/clean_run.h"

#include <system_error>
#include <utility>

namespace varnoket::desktop {
namespace {

std::u16string Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string ProgressCaption(const BatchProgress& progress) {
  std::u16string caption = u"Очистка…";
  if (progress.total != 0) {
    caption += u" " + Number(progress.done) + u" из " + Number(progress.total);
  }
  return caption;
}

CleanRun::~CleanRun() {
  if (thread_.joinable()) thread_.join();
}

void CleanRun::Start(std::u16string sourceText, std::u16string destinationText,
                     CleanFoldersOptions options, std::function<void()> notify) {
  if (thread_.joinable()) thread_.join();  // a run whose message was taken
  notify_ = std::move(notify);
  running_ = true;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    news_ = RunNews();
  }
  options.onProgress = [this](const BatchProgress& progress) { Publish(&progress, nullptr); };
  auto run = [this, source = std::move(sourceText), destination = std::move(destinationText),
              options = std::move(options)] {
    UserMessage message = CleanFolders(source, destination, options);
    Publish(nullptr, &message);
  };
  try {
    thread_ = std::thread(run);
  } catch (const std::system_error&) {
    run();  // the window waits, but the run is the same
  }
}

void CleanRun::Publish(const BatchProgress* progress, UserMessage* message) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (progress != nullptr) news_.progress = *progress;
    if (message != nullptr) news_.message = std::move(*message);
    if (notified_) return;
    notified_ = true;
  }
  notify_();
}

RunNews CleanRun::TakeNews() {
  RunNews news;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    news = std::move(news_);
    news_ = RunNews();
  }
  if (news.message.has_value()) {
    if (thread_.joinable()) thread_.join();
    running_ = false;
  }
  return news;
}

}  // namespace varnoket::desktop
