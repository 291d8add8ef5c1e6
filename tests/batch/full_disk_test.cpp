// SPDX-License-Identifier: MIT
// A disk that fills up in the middle of a save, made real with a file-size
// limit in a child process: the cleaned file cannot be written whole, and the
// original it would replace must survive byte for byte. The limit raises
// SIGXFSZ, which would end the process: the run must survive it.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

// A game whose cleaned form is about "moves" * 8 bytes long.
std::string LongGame(int moves) {
  std::string game = "(;SZ[19]C[a comment that the cleaning drops]";
  for (int i = 0; i < moves; ++i) {
    const char column = static_cast<char>('a' + i % 19);
    const char row = static_cast<char>('a' + i / 19 % 19);
    game += i % 2 == 0 ? ";B[" : ";W[";
    game += column;
    game += row;
    game += "]";
  }
  return game + ")";
}

// Exit codes of the child, so that the parent can say what went wrong.
enum ChildResult { kAsExpected = 0, kNotAFailure = 10, kWrongReason = 11 };

TEST(FullDiskTest, SaveCutShortInPlaceLeavesTheOriginalAndNoTemporaryFile) {
  test::TempFolder temp;
  const std::string small = "(;SZ[9];B[ee])";
  const std::string large = LongGame(2000);
  test::WriteBytes(temp / "small.sgf", small);
  test::WriteBytes(temp / "large.sgf", large);

  const pid_t child = ::fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    BatchOptions options;
    options.source = temp.path();
    options.destination = temp.path();
    const BatchReport report = RunBatch(options);
    if (report.cleaned != 1 || report.failures.size() != 1) ::_exit(kNotAFailure);
    const FileFailure& failure = report.failures[0];
    if (failure.name != "large.sgf" || failure.reason != FailureReason::CannotWrite ||
        failure.systemMessage != "File too large") {
      ::_exit(kWrongReason);
    }
    ::_exit(kAsExpected);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), kAsExpected);

  EXPECT_EQ(test::ReadBytes(temp / "large.sgf"), large);
  EXPECT_EQ(test::ReadBytes(temp / "small.sgf"), "(;GM[1]FF[4]SZ[9]\r\n;B[ee])");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(temp.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"large.sgf", "small.sgf"}));
}

}  // namespace
}  // namespace varnoket

#endif  // _WIN32
