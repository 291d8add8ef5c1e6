// SPDX-License-Identifier: MIT
// A Clean run on a thread of its own, as both desktop windows drive it: the
// run waits at a gate, so each step is known without timing.
#include "desktop/background_command.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "tests/support/gated_file_system.h"
#include "tests/support/test_support.h"

namespace varnoket::desktop {
namespace {

namespace fs = std::filesystem;

// The window's side: counts notifications and waits for the next one.
class Window {
 public:
  void Notify() {
    const std::lock_guard<std::mutex> lock(mutex_);
    // Never a second notification before the news of the first is taken.
    EXPECT_FALSE(pending_);
    pending_ = true;
    arrived_.notify_all();
  }

  // Waits for a notification, then takes the news as the window would.
  RunNews NextNews(BackgroundCleanCommand& run) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      arrived_.wait(lock, [this] { return pending_; });
      pending_ = false;
    }
    return run.TakeNews();
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  bool pending_ = false;
};

std::string Progress(const RunNews& news) {
  if (!news.progress.has_value()) return "none";
  return std::to_string(news.progress->done) + "/" + std::to_string(news.progress->total);
}

TEST(BackgroundCleanCommandTest, RunsOffTheCallersThreadAndHandsOverProgressThenTheMessage) {
  test::TempFolder temp;
  fs::create_directories(temp / "in");
  fs::create_directories(temp / "out");
  for (const char* name : {"a.sgf", "b.sgf", "c.sgf"}) {
    test::WriteBytes(temp / "in" / name, "(;SZ[9];B[ee])");
  }
  test::GatedFileSystem files;
  Window window;
  BackgroundCleanCommand run;
  CleanCommandOptions options;
  options.fileSystem = &files;

  run.Start((temp / "in").u16string(), (temp / "out").u16string(), options,
            [&window] { window.Notify(); });
  // Start has returned while no file can be read yet.
  EXPECT_TRUE(run.running());
  files.Allow(1);
  const RunNews first = window.NextNews(run);
  EXPECT_EQ(Progress(first), "1/3");
  EXPECT_FALSE(first.message.has_value());
  EXPECT_EQ(test::Utf8(ProgressCaption(*first.progress)), "Очистка… 1 из 3");

  files.Open();
  RunNews news;
  while (!news.message.has_value()) news = window.NextNews(run);
  EXPECT_EQ(test::Utf8(news.message->text), "Очистка завершена.\n\nОчищено файлов: 3.");
  EXPECT_FALSE(run.running());
  EXPECT_EQ(test::Utf8(ProgressCaption(BatchProgress())), "Очистка…");  // before the count
}

}  // namespace
}  // namespace varnoket::desktop
