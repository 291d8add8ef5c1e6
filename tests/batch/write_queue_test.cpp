// SPDX-License-Identifier: MIT
// The grouping of replacements: every one is covered by a barrier before it
// takes its name, and a group holds many files, not one.
#include "batch/write_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/recording_file_system.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

TEST(WriteQueueTest, EveryReplacementIsCommittedAfterABarrierThatCoveredIt) {
  constexpr int kOld = 600;
  constexpr int kNew = 100;
  test::TempFolder temp;
  for (int i = 0; i < kOld; ++i)
    test::WriteBytes(temp / test::Numbered("old", i, ".sgf"), "before");
  test::RecordingFileSystem files;
  platform::FolderHandle folder;
  ASSERT_TRUE(files.OpenFolder(temp.path(), &folder).ok());
  std::mutex mutex;
  std::vector<std::size_t> done;
  {
    WriteQueue queue(files, [&](std::size_t tag, const WriteQueue::Written& written) {
      std::lock_guard<std::mutex> lock(mutex);
      EXPECT_TRUE(written.status.ok()) << tag << ": " << written.status.message();
      EXPECT_EQ(written.size, 5u);
      done.push_back(tag);
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
      writers.emplace_back([&, w] {
        for (int i = w; i < kOld + kNew; i += 3) {
          const fs::path name =
              i < kOld ? test::Numbered("old", i, ".sgf") : test::Numbered("new", i, ".sgf");
          queue.Write(folder, name, "after", {}, static_cast<std::size_t>(i));
        }
      });
    }
    for (std::thread& writer : writers) writer.join();
    queue.Finish();
  }

  EXPECT_EQ(done.size(), static_cast<std::size_t>(kOld + kNew));
  // Each replacement: staged, then covered by a flush, then committed.
  std::set<std::string> staged;
  std::set<std::string> covered;
  int flushes = 0;
  for (const auto& step : files.steps) {
    if (step.what == "stage") {
      staged.insert(step.names);
    } else if (step.what == "flush") {
      ++flushes;
      std::size_t start = 0;
      for (std::size_t end; (end = step.names.find(' ', start)) != std::string::npos;
           start = end + 1) {
        const std::string name = step.names.substr(start, end - start);
        EXPECT_EQ(staged.count(name), 1u) << name << " flushed before it was staged";
        covered.insert(name);
      }
    } else if (step.replaces) {
      EXPECT_EQ(covered.count(step.names), 1u) << step.names << " committed before a flush";
    } else {
      EXPECT_EQ(step.names.rfind("new", 0), 0u) << step.names << " replaced without a flush";
    }
  }
  EXPECT_EQ(covered.size(), static_cast<std::size_t>(kOld));
  EXPECT_LE(flushes, 3) << "small replacements share their barriers";
  EXPECT_EQ(test::ReadBytes(temp / "old599.sgf"), "after");
  EXPECT_EQ(test::ReadBytes(temp / "new650.sgf"), "after");
}

TEST(WriteQueueTest, AStopDiscardsTheReplacementsNoBarrierCoveredYet) {
  constexpr std::size_t kOld = 10;
  test::TempFolder temp;
  for (std::size_t i = 0; i < kOld; ++i)
    test::WriteBytes(temp / test::Numbered("old", static_cast<int>(i), ".sgf"), "before");
  test::RecordingFileSystem files;
  platform::FolderHandle folder;
  ASSERT_TRUE(files.OpenFolder(temp.path(), &folder).ok());
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::vector<WriteQueue::Written> results(kOld + 1);
  {
    WriteQueue queue(
        files,
        [&](std::size_t tag, const WriteQueue::Written& written) {
          std::lock_guard<std::mutex> lock(mutex);
          results[tag] = written;
        },
        &stop);
    for (std::size_t i = 0; i < kOld; ++i) {
      queue.Write(folder, test::Numbered("old", static_cast<int>(i), ".sgf"), "after", {}, i);
    }
    queue.Write(folder, "new.sgf", "after", {}, kOld);
    stop = true;
    queue.Finish();
  }

  for (std::size_t i = 0; i < kOld; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(results[i].stopped);
    EXPECT_EQ(test::ReadBytes(temp / test::Numbered("old", static_cast<int>(i), ".sgf")), "before");
  }
  EXPECT_FALSE(results[kOld].stopped) << "a new file takes its name at once";
  EXPECT_EQ(test::ReadBytes(temp / "new.sgf"), "after");
  for (const auto& step : files.steps) {
    EXPECT_NE(step.what, "flush");
    EXPECT_FALSE(step.what == "commit" && step.replaces) << step.names;
  }
}

}  // namespace
}  // namespace varnoket
