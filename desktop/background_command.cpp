// SPDX-License-Identifier: MIT
#include "desktop/background_command.h"

#include <system_error>
#include <utility>

namespace varnoket::desktop {
namespace {

// The shortest time between two calls of "notify" for progress.
constexpr std::chrono::milliseconds kProgressInterval(100);

}  // namespace

BackgroundCleanCommand::~BackgroundCleanCommand() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void BackgroundCleanCommand::Start(std::u16string sourceText, std::u16string destinationText,
                                   CleanCommandOptions options, std::function<void()> notify) {
  if (thread_.joinable()) thread_.join();  // a run whose message was taken
  notify_ = std::move(notify);
  running_ = true;
  stop_ = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    notified_ = false;
    lastNotified_ = std::chrono::steady_clock::time_point();
    news_ = RunNews();
  }
  options.onProgress = [this](const BatchProgress& progress) { Publish(&progress, nullptr); };
  options.stop = &stop_;
  auto run = [this, source = std::move(sourceText), destination = std::move(destinationText),
              options = std::move(options)] {
    UserMessage message = RunCleanCommand(source, destination, options);
    Publish(nullptr, &message);
  };
  try {
    thread_ = std::thread(run);
  } catch (const std::system_error&) {
    run();  // the window waits, but the run is the same
  }
}

void BackgroundCleanCommand::Publish(const BatchProgress* progress, UserMessage* message) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (progress != nullptr) news_.progress = *progress;
    if (message != nullptr) news_.message = std::move(*message);
    if (notified_) return;
    const auto now = std::chrono::steady_clock::now();
    const bool first = lastNotified_ == std::chrono::steady_clock::time_point();
    if (message == nullptr && !first && now - lastNotified_ < kProgressInterval) return;
    notified_ = true;
    lastNotified_ = now;
  }
  notify_();
}

RunNews BackgroundCleanCommand::TakeNews() {
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
