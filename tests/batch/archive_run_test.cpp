// SPDX-License-Identifier: MIT
// Runs with archives on either side: a decompression bomb fails alone, and an
// archive destination is written while the run goes, the same whatever the
// number of workers.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/archive_maker.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::MadeEntry;
using test::MadeFormat;

// A game of "moves" moves, whose cleaned form is about 8 bytes a move.
std::string LongGame(int moves) {
  std::string game = "(;GM[1]FF[4]";
  for (int i = 0; i < moves; ++i) game += i % 2 == 0 ? ";B[aa]" : ";W[bb]";
  return game + ")";
}

class ArchiveRunTest : public ::testing::Test {
 protected:
  BatchReport Run(const fs::path& source, const fs::path& destination, unsigned jobs = 1) {
    options_.source = source;
    options_.destination = destination;
    options_.jobs = jobs;
    options_.createDestination = true;
    return RunBatch(options_);
  }

  test::TempFolder temp_;
  BatchOptions options_;
};

TEST_F(ArchiveRunTest, AnEntryBeyondTheSizeLimitFailsAndTheRunGoesOn) {
  // Entries of one repeated byte, as a bomb is: below and beyond the size of
  // an entry held in memory whole.
  const std::size_t held = 8 << 20;
  const struct {
    const char* what;
    std::uint64_t limit;
    std::size_t size;
  } cases[] = {
      {"held whole", 1 << 20, 2 << 20},
      {"read as it is cleaned", held + (1 << 20), held + (2 << 20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path archive = temp_ / "bomb.tar.gz";
    test::WriteBytes(archive, test::MakeArchive(MadeFormat::TarGzip,
                                                {{"a.sgf", "(;B[aa])"},
                                                 {"bomb.sgf", "(;C[" + std::string(c.size, 'x')},
                                                 {"c.sgf", "(;W[bb])"}}));
    options_.maxArchiveEntryBytes = c.limit;
    const fs::path out = temp_ / "out";
    fs::remove_all(out);

    const BatchReport report = Run(archive, out, 2);

    EXPECT_EQ(report.cleaned, 2u);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].name, "bomb.sgf");
    EXPECT_EQ(report.failures[0].systemMessage, "the entry is too large");
    EXPECT_EQ(test::Snapshot(out),
              (std::map<std::string, std::string>{{"a.sgf", "(;GM[1]FF[4]\r\n;B[aa])"},
                                                  {"c.sgf", "(;GM[1]FF[4]\r\n;W[bb])"}}));
  }
}

TEST_F(ArchiveRunTest, AnArchiveDestinationIsWrittenAsTheFilesComeAndIsTheSameForAnyJobs) {
  const fs::path source = temp_ / "games";
  constexpr int kFiles = 40;
  fs::create_directories(source);
  for (int i = 0; i < kFiles; ++i) {
    test::WriteBytes(source / test::Numbered("g", i, ".sgf"), LongGame(2000 + i));
  }
  test::FaultyFileSystem files;
  options_.fileSystem = &files;
  // The files read when the archive was first appended to.
  std::size_t readsAtFirstAppend = 0;
  files.beforeAppend = [&] {
    if (readsAtFirstAppend == 0) readsAtFirstAppend = files.reads.size();
  };

  const BatchReport one = Run(source, temp_ / "one.tar", 1);
  ASSERT_EQ(one.cleaned, static_cast<std::size_t>(kFiles));
  EXPECT_GT(readsAtFirstAppend, 0u);
  EXPECT_LT(readsAtFirstAppend, static_cast<std::size_t>(kFiles)) << "written only at the end";

  files.beforeAppend = nullptr;
  ASSERT_EQ(Run(source, temp_ / "four.tar", 4).cleaned, static_cast<std::size_t>(kFiles));
  EXPECT_EQ(test::ReadBytes(temp_ / "four.tar"), test::ReadBytes(temp_ / "one.tar"));
}

TEST_F(ArchiveRunTest, AStoppedRunLeavesNoArchive) {
  // Stopped once the folder's own file is done, before its archive is opened.
  const fs::path source = temp_ / "games";
  fs::create_directories(source);
  test::WriteBytes(source / "a.sgf", "(;B[aa])");
  test::WriteBytes(source / "b.zip", test::MakeArchive(MadeFormat::Zip, {{"c.sgf", "(;W[bb])"}}));
  std::atomic<bool> stop{false};
  options_.stop = &stop;
  options_.openArchives = true;
  options_.onProgress = [&stop](const BatchProgress&) { stop = true; };

  const BatchReport report = Run(source, temp_ / "out.zip");

  EXPECT_TRUE(report.stopped);
  EXPECT_FALSE(fs::exists(temp_ / "out.zip"));
}

}  // namespace
}  // namespace varnoket
