// SPDX-License-Identifier: MIT
// The desktop windows' Clean command without the windows: folder texts in,
// the message to show out, progress on the way.
#include "desktop/clean_command.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace varnoket::desktop {
namespace {

namespace fs = std::filesystem;

TEST(CleanCommandTest, CleansTheFolderReportsProgressAndDescribesTheRun) {
  test::TempFolder temp;
  fs::create_directories(temp / "in");
  fs::create_directories(temp / "out");
  test::WriteBytes(temp / "in" / "a.sgf", "(;SZ[9]C[x];B[ee])");
  test::WriteBytes(temp / "in" / "b.sgf", "(;SZ[9];B[ee])");
  test::WriteBytes(temp / "in" / "broken.sgf", "no game in here");
  std::mutex mutex;
  std::vector<std::size_t> done;
  CleanCommandOptions options;
  options.onProgress = [&](const BatchProgress& progress) {
    const std::lock_guard<std::mutex> lock(mutex);
    done.push_back(progress.done);
  };

  const UserMessage message =
      RunCleanCommand((temp / "in").u16string(), (temp / "out").u16string(), options);

  EXPECT_EQ(test::Utf8(message.text),
            "Очистка завершена.\n\nОчищено файлов: 2 из 3.\nНе удалось очистить:\n"
            "broken.sgf — в файле нет игры");
  EXPECT_EQ(message.icon, UserMessage::Icon::Warning);
  EXPECT_EQ(done, (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_EQ(test::ReadBytes(temp / "out" / "a.sgf"), "(;GM[1]FF[4]SZ[9]\r\n;B[ee])");
}

}  // namespace
}  // namespace varnoket::desktop
