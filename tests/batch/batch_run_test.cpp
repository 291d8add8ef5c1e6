// SPDX-License-Identifier: MIT
// The batch run over real temporary folders, with faults injected through
// the platform layer where the real disk cannot produce them on demand.
#include "batch/batch_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/batch/batch_test_support.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::kDamaged;
using test::kRichGame;
using test::kRichGameCleaned;
using test::Numbered;

BatchOptions Folders(const fs::path& source, const fs::path& destination) {
  BatchOptions options;
  options.source = source;
  options.destination = destination;
  return options;
}

class BatchRunTest : public ::testing::Test {
 protected:
  BatchRunTest() {
    fs::create_directories(source_);
    fs::create_directories(destination_);
  }

  void Put(const fs::path& name, const std::string& bytes) {
    fs::create_directories((source_ / name).parent_path());
    test::WriteBytes(source_ / name, bytes);
  }

  BatchReport Run() { return RunBatch(options_); }

  std::string Cleaned(const fs::path& name) { return test::ReadBytes(destination_ / name); }
  bool Written(const fs::path& name) { return fs::exists(destination_ / name); }

  static std::vector<std::string> FailureNames(const BatchReport& report) {
    std::vector<std::string> names;
    for (const FileFailure& failure : report.failures)
      names.push_back(failure.name.generic_string());
    return names;
  }

  test::TempFolder temp_;
  fs::path source_ = temp_ / "games";
  fs::path destination_ = temp_ / "clean";
  BatchOptions options_ = Folders(source_, destination_);
};

TEST_F(BatchRunTest, CleansEveryGameFileUnderItsOwnNameInAnyLetterCase) {
  Put("one.sgf", kRichGame);
  Put("two.sgf", "(;SZ[9];B[ee])");
  for (const char* name : {"a.SGF", "b.Sgf", "c.sGf"}) Put(name, kRichGame);
  Put("notes.txt", kRichGame);
  Put("one.sgf.bak", kRichGame);

  const BatchReport report = Run();

  EXPECT_EQ(report.outcome, RunOutcome::Completed);
  EXPECT_EQ(report.found, 5u);
  EXPECT_EQ(report.cleaned, 5u);
  EXPECT_EQ(report.failures.size(), 0u);
  for (const char* name : {"one.sgf", "a.SGF", "b.Sgf", "c.sGf"}) {
    EXPECT_EQ(Cleaned(name), kRichGameCleaned) << name;
  }
  EXPECT_EQ(Cleaned("two.sgf"), "(;GM[1]FF[4]SZ[9]\r\n;B[ee])");
  EXPECT_FALSE(Written("notes.txt"));
  EXPECT_FALSE(Written("one.sgf.bak"));
  EXPECT_EQ(report.bytesRead,
            4 * std::string(kRichGame).size() + std::string("(;SZ[9];B[ee])").size());
  EXPECT_EQ(report.bytesWritten, 4 * std::string(kRichGameCleaned).size() +
                                     std::string("(;GM[1]FF[4]SZ[9]\r\n;B[ee])").size());
}

// A collection larger than a block of reading shows its bytes and games
// while it is read, so that a folder that holds one shows how far it got.
TEST_F(BatchRunTest, ProgressCountsTheBytesAndGamesOfALargeFileAsItIsRead) {
  std::string collection;
  while (collection.size() < (3u << 20)) collection += kRichGame;
  const std::uint64_t games = collection.size() / std::string(kRichGame).size();
  Put("all.sgf", collection);
  Put("one.sgf", kRichGame);
  std::vector<BatchProgress> seen;
  options_.games = GameMode::AllGames;
  options_.onProgress = [&seen](const BatchProgress& progress) { seen.push_back(progress); };

  const BatchReport report = Run();

  ASSERT_EQ(report.cleaned, 2u);
  EXPECT_EQ(report.bytesRead, collection.size() + std::string(kRichGame).size());
  std::vector<BatchProgress> large;
  for (const BatchProgress& progress : seen) {
    if (progress.largeSize != 0) large.push_back(progress);
  }
  ASSERT_GE(large.size(), 2u) << "one call a block";
  for (const BatchProgress& progress : large) {
    EXPECT_EQ(progress.largeSize, collection.size());
    EXPECT_LE(progress.largeRead, progress.largeSize);
    EXPECT_LE(progress.games, games + 1);
  }
  EXPECT_LT(large.front().largeRead, large.back().largeRead);
  EXPECT_LT(large.front().games, large.back().games);
  EXPECT_EQ(seen.back().largeSize, 0u) << "nothing large in hand at the end";
  EXPECT_EQ(seen.back().games, games + 1);
  EXPECT_EQ(seen.back().bytesRead, report.bytesRead);
}

TEST_F(BatchRunTest, FailuresInTheMiddleDoNotStopTheRunAndComeSortedByName) {
  Put("a.sgf", kRichGame);
  Put("d-damaged.sgf", kDamaged);
  Put("c.sgf", kRichGame);
  Put("b-empty.sgf", "");
  Put("e.sgf", kRichGame);
  fs::create_directories(source_ / "folder.sgf");

  const BatchReport report = Run();

  EXPECT_EQ(report.found, 6u);
  EXPECT_EQ(report.cleaned, 3u);
  ASSERT_EQ(FailureNames(report),
            (std::vector<std::string>{"b-empty.sgf", "d-damaged.sgf", "folder.sgf"}));
  EXPECT_EQ(report.failures[0].reason, FailureReason::NoGameFound);
  EXPECT_EQ(report.failures[1].reason, FailureReason::NoGameFound);
  EXPECT_EQ(report.failures[2].reason, FailureReason::CannotRead);
  for (const char* name : {"a.sgf", "c.sgf", "e.sgf"}) EXPECT_EQ(Cleaned(name), kRichGameCleaned);
  for (const char* name : {"d-damaged.sgf", "b-empty.sgf", "folder.sgf"}) {
    EXPECT_FALSE(Written(name)) << name;
  }
}

TEST_F(BatchRunTest, SameFolderCleansInPlaceAndLeavesDamagedFilesAsTheyWere) {
  Put("game.sgf", kRichGame);
  Put("damaged.sgf", kDamaged);
  fs::create_directories(source_ / "folder.sgf");
  options_.destination = source_;

  const BatchReport report = Run();

  EXPECT_EQ(report.cleaned, 1u);
  EXPECT_EQ(test::ReadBytes(source_ / "game.sgf"), kRichGameCleaned);
  EXPECT_EQ(test::ReadBytes(source_ / "damaged.sgf"), kDamaged);
  EXPECT_TRUE(fs::is_directory(source_ / "folder.sgf"));
  EXPECT_EQ(test::Snapshot(source_).size(), 2u) << "no temporary file is left behind";

  // A second run over cleaned files changes nothing.
  const BatchReport again = Run();
  EXPECT_EQ(again.cleaned, 1u);
  EXPECT_EQ(test::ReadBytes(source_ / "game.sgf"), kRichGameCleaned);
}

// The real disk, except that the folder "locked" cannot be listed.
class LockedFolderLister : public platform::FolderLister {
 public:
  platform::IoStatus ListFolder(
      const fs::path& folder, std::string_view pattern,
      const std::function<void(const platform::FolderEntry&)>& onEntry) override {
    if (folder.filename() == "locked") return platform::IoStatus::Error("Permission denied");
    return FolderLister::ListFolder(folder, pattern, onEntry);
  }
};

// A file or folder that fails is reported with the system's reason, is not
// written, and the run goes on with the others.
TEST_F(BatchRunTest, AFaultIsReportedWithTheSystemReasonAndTheRunGoesOn) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    const char* unreadable;  // a file name whose reads are denied
    bool foldersDenied;
    bool lockedFolder;  // the folder "locked" cannot be listed
    std::size_t found;
    std::string failed;
    FailureReason reason;
    std::string written;  // a file cleaned beside the failure
  };
  const Case cases[] = {
      {"unreadable file",
       {"a.sgf", "locked.sgf", "z.sgf"},
       "locked.sgf",
       false,
       false,
       3,
       "locked.sgf",
       FailureReason::CannotRead,
       "z.sgf"},
      {"mirrored folder cannot be created",
       {"top.sgf", "sub/a.sgf"},
       "",
       true,
       false,
       2,
       "sub/a.sgf",
       FailureReason::CannotWrite,
       "top.sgf"},
      {"folder cannot be listed",
       {"top.sgf", "locked/a.sgf", "open/b.sgf"},
       "",
       false,
       true,
       2,
       "locked",
       FailureReason::CannotReadFolder,
       "open/b.sgf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(source_);
    fs::remove_all(destination_);
    fs::create_directories(destination_);
    for (const std::string& name : c.files) Put(name, kRichGame);
    test::FaultyFileSystem files;
    files.unreadable.insert(c.unreadable);
    files.foldersDenied = c.foldersDenied;
    LockedFolderLister folders;
    options_.fileSystem = &files;
    options_.folderLister = c.lockedFolder ? &folders : nullptr;
    options_.recursive = true;

    const BatchReport report = Run();

    EXPECT_EQ(report.found, c.found);
    EXPECT_EQ(report.cleaned, c.files.size() - 1);
    ASSERT_EQ(FailureNames(report), std::vector<std::string>{c.failed});
    EXPECT_EQ(report.failures[0].reason, c.reason);
    EXPECT_EQ(report.failures[0].systemMessage, "Permission denied");
    EXPECT_FALSE(Written(c.failed));
    EXPECT_EQ(Cleaned(c.written), kRichGameCleaned);
  }
}

#ifndef _WIN32
TEST_F(BatchRunTest, FileWithoutReadPermissionOnTheRealDisk) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not deny reads to root";
  Put("locked.sgf", kRichGame);
  ::chmod((source_ / "locked.sgf").c_str(), 0);

  const BatchReport report = Run();

  ASSERT_EQ(FailureNames(report), std::vector<std::string>{"locked.sgf"});
  EXPECT_EQ(report.failures[0].reason, FailureReason::CannotRead);
  EXPECT_FALSE(report.failures[0].systemMessage.empty());
  EXPECT_FALSE(Written("locked.sgf"));
}
#endif

TEST_F(BatchRunTest, FullDiskInPlaceLeavesEveryOriginalUntouched) {
  Put("a.sgf", kRichGame);
  Put("b.sgf", "(;SZ[19]C[keep me];B[pd])");
  Put("c.sgf", kDamaged);
  const auto before = test::Snapshot(source_);
  test::FaultyFileSystem files;
  files.diskFull = true;
  options_.fileSystem = &files;
  options_.destination = source_;
  options_.jobs = 3;

  const BatchReport report = Run();

  EXPECT_EQ(test::Snapshot(source_), before);
  EXPECT_EQ(report.cleaned, 0u);
  ASSERT_EQ(FailureNames(report), (std::vector<std::string>{"a.sgf", "b.sgf", "c.sgf"}));
  EXPECT_EQ(report.failures[0].reason, FailureReason::CannotWrite);
  EXPECT_EQ(report.failures[0].systemMessage, "No space left on device");
  EXPECT_EQ(report.failures[2].reason, FailureReason::NoGameFound);
  EXPECT_EQ(report.bytesWritten, 0u);
}

TEST_F(BatchRunTest, InPlaceAFileChangedOrRemovedAfterItWasReadIsLeftAsItNowIs) {
  Put("a.sgf", kRichGame);
  Put("edited.sgf", kRichGame);
  Put("removed.sgf", kRichGame);
  test::FaultyFileSystem files;
  files.beforeStage = [](const fs::path& path) {
    if (path.filename() == "edited.sgf") test::WriteBytes(path, "(;C[saved by an editor])");
    if (path.filename() == "removed.sgf") fs::remove(path);
  };
  options_.fileSystem = &files;
  options_.destination = source_;
  options_.jobs = 2;

  const BatchReport report = Run();

  EXPECT_EQ(report.cleaned, 1u);
  ASSERT_EQ(FailureNames(report), (std::vector<std::string>{"edited.sgf", "removed.sgf"}));
  for (const FileFailure& failure : report.failures) {
    EXPECT_EQ(failure.reason, FailureReason::FileChanged);
    EXPECT_EQ(failure.systemMessage, "");
  }
  EXPECT_EQ(test::ReadBytes(source_ / "a.sgf"), kRichGameCleaned);
  EXPECT_EQ(test::ReadBytes(source_ / "edited.sgf"), "(;C[saved by an editor])");
  EXPECT_FALSE(fs::exists(source_ / "removed.sgf"));
}

TEST_F(BatchRunTest, FolderOutcomesAreToldApart) {
  struct Case {
    const char* what;
    fs::path source;
    fs::path destination;
    bool createDestination;
    RunOutcome outcome;
    bool foldersDenied = false;
    const char* systemMessage = nullptr;  // null: not checked
  };
  Put("a.sgf", kRichGame);
  test::WriteBytes(temp_ / "plain-file", "x");
  fs::create_directories(temp_ / "empty");
  const Case cases[] = {
      {"no source text", "", destination_, true, RunOutcome::NoSourceGiven},
      {"no destination text", source_, "", true, RunOutcome::NoDestinationGiven},
      {"both empty", "", "", true, RunOutcome::NoSourceGiven},
      {"missing source", temp_ / "missing", destination_, true, RunOutcome::SourceNotFound},
      {"source is a file", temp_ / "plain-file", destination_, true, RunOutcome::SourceNotFound},
      {"missing destination", source_, temp_ / "nowhere", false, RunOutcome::DestinationNotFound},
      {"destination is a file", source_, temp_ / "plain-file", false,
       RunOutcome::DestinationNotFound},
      {"destination is a file, create", source_, temp_ / "plain-file", true,
       RunOutcome::CannotCreateDestination},
      {"creating the destination denied", source_, temp_ / "nowhere", true,
       RunOutcome::CannotCreateDestination, true, "Permission denied"},
      {"empty source folder", temp_ / "empty", destination_, false, RunOutcome::Completed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BatchOptions options = Folders(c.source, c.destination);
    options.createDestination = c.createDestination;
    test::FaultyFileSystem files;
    files.foldersDenied = c.foldersDenied;
    options.fileSystem = c.foldersDenied ? &files : nullptr;
    const BatchReport report = RunBatch(options);
    EXPECT_EQ(report.outcome, c.outcome);
    EXPECT_EQ(report.found, 0u);
    EXPECT_EQ(report.source, c.source);
    EXPECT_EQ(report.destination, c.destination);
    if (c.systemMessage != nullptr) {
      EXPECT_EQ(report.systemMessage, c.systemMessage);
    }
  }
  EXPECT_FALSE(fs::exists(temp_ / "nowhere"));
  EXPECT_TRUE(fs::is_empty(destination_));
}

// Changes the current folder for one test and restores it.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) : saved_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolder() { fs::current_path(saved_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  fs::path saved_;
};

// Relative texts resolve against the current folder, an empty text never
// means it, doubled and trailing separators name the same folders, and a
// missing destination is created when asked.
TEST_F(BatchRunTest, FolderTextsNameTheFoldersTheyMean) {
  struct Case {
    fs::path current;
    std::string source;
    std::string destination;
    bool createDestination;
    RunOutcome outcome;
    std::string cleaned;  // where a.sgf is written, under the temporary folder
  };
  Put("a.sgf", kRichGame);
  const std::string source = source_.string();
  const std::string destination = destination_.string();
  const Case cases[] = {
      {temp_.path(), "games", "clean", false, RunOutcome::Completed, "clean/a.sgf"},
      {source_, "", ".", false, RunOutcome::NoSourceGiven, ""},
      {source_, ".", "", false, RunOutcome::NoDestinationGiven, ""},
      {temp_.path(), source + "/", destination, false, RunOutcome::Completed, "clean/a.sgf"},
      {temp_.path(), source + "//", destination + "/", false, RunOutcome::Completed, "clean/a.sgf"},
      {temp_.path(), source, destination + "//", false, RunOutcome::Completed, "clean/a.sgf"},
      {temp_.path(), temp_.path().string() + "//games", destination, false, RunOutcome::Completed,
       "clean/a.sgf"},
      {temp_.path(), source, (temp_ / "new" / "deeper").string(), true, RunOutcome::Completed,
       "new/deeper/a.sgf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination + " in " + c.current.string());
    fs::remove_all(destination_);
    fs::create_directories(destination_);
    const CurrentFolder here(c.current);
    options_.source = c.source;
    options_.destination = c.destination;
    options_.createDestination = c.createDestination;

    const BatchReport report = Run();

    EXPECT_EQ(report.outcome, c.outcome);
    EXPECT_EQ(report.cleaned, c.cleaned.empty() ? 0u : 1u);
    EXPECT_EQ(FailureNames(report), std::vector<std::string>{});
    if (!c.cleaned.empty()) {
      EXPECT_EQ(test::ReadBytes(temp_ / c.cleaned), kRichGameCleaned);
    }
    EXPECT_EQ(test::ReadBytes(source_ / "a.sgf"), kRichGame);
  }
}

TEST_F(BatchRunTest, RecursiveRunMirrorsTheTreeAndNamesFilesRelativeToTheSource) {
  fs::path deep;  // deep trees are walked without recursion
  for (int level = 0; level < 100; ++level) deep /= "d";
  Put("top.sgf", kRichGame);
  Put("2019/spring/a.sgf", kRichGame);
  Put("2019/b.SGF", kDamaged);
  Put("2019/folder.sgf/inside.sgf", kRichGame);
  Put(deep / "bottom.sgf", kRichGame);
  fs::create_directories(source_ / "no-games" / "at-all");

  EXPECT_EQ(Run().found, 1u) << "subfolders are left alone unless recursive";
  EXPECT_FALSE(Written("2019"));

  options_.recursive = true;
  const BatchReport report = Run();

  EXPECT_EQ(report.found, 5u);
  EXPECT_EQ(report.cleaned, 4u);
  EXPECT_EQ(FailureNames(report), std::vector<std::string>{"2019/b.SGF"});
  EXPECT_EQ(Cleaned("top.sgf"), kRichGameCleaned);
  EXPECT_EQ(Cleaned("2019/spring/a.sgf"), kRichGameCleaned);
  EXPECT_EQ(Cleaned("2019/folder.sgf/inside.sgf"), kRichGameCleaned);
  EXPECT_EQ(Cleaned(deep / "bottom.sgf"), kRichGameCleaned);
  EXPECT_FALSE(Written("2019/b.SGF"));
  EXPECT_FALSE(Written("no-games")) << "folders are created only for files written";
}

TEST_F(BatchRunTest, RecursiveRunSkipsTheDestinationInsideTheSource) {
  Put("a.sgf", kRichGame);
  options_.destination = source_ / "clean";
  options_.createDestination = true;
  options_.recursive = true;

  EXPECT_EQ(Run().found, 1u);
  EXPECT_EQ(Run().found, 1u) << "the second run must not clean the first run's output";
  EXPECT_FALSE(fs::exists(source_ / "clean" / "clean"));
}

TEST_F(BatchRunTest, FileThatRunsOutOfMemoryBesideOthersIsTriedAgainAlone) {
  struct Case {
    const char* what;
    unsigned jobs;
    int failingReads;
    std::size_t reads;  // of the failing file
    bool cleaned;
  };
  const Case cases[] = {
      {"one worker: reported at once", 1, 1, 1, false},
      {"several workers: cleaned alone", 4, 1, 2, true},
      {"several workers: too big even alone", 4, 2, 2, false},
  };
  for (int i = 0; i < 12; ++i) Put(Numbered("g", i, ".sgf"), kRichGame);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(destination_);
    fs::create_directories(destination_);
    test::FaultyFileSystem files;
    files.outOfMemory["g3.sgf"] = c.failingReads;
    options_.fileSystem = &files;
    options_.jobs = c.jobs;

    const BatchReport report = Run();

    EXPECT_EQ(std::count(files.reads.begin(), files.reads.end(), "g3.sgf"),
              static_cast<std::ptrdiff_t>(c.reads));
    EXPECT_EQ(report.cleaned, c.cleaned ? 12u : 11u);
    EXPECT_EQ(Written("g3.sgf"), c.cleaned);
    if (!c.cleaned) {
      ASSERT_EQ(FailureNames(report), std::vector<std::string>{"g3.sgf"});
      EXPECT_EQ(report.failures[0].reason, FailureReason::OutOfMemory);
      EXPECT_EQ(report.failures[0].systemMessage, "");
    }
  }
}

TEST_F(BatchRunTest, ProgressCountsEveryEntryOnceAndCallsNeverOverlap) {
  for (int i = 0; i < 40; ++i) Put(Numbered("g", i, ".sgf"), i % 7 == 0 ? kDamaged : kRichGame);
  std::vector<std::size_t> done;
  std::atomic<bool> inside{false};
  bool overlapped = false;
  options_.jobs = 4;
  options_.onProgress = [&](const BatchProgress& progress) {
    if (inside.exchange(true)) overlapped = true;
    EXPECT_EQ(progress.total, 40u);
    done.push_back(progress.done);
    inside = false;
  };

  const BatchReport report = Run();

  EXPECT_FALSE(overlapped);
  ASSERT_EQ(done.size(), 40u);
  for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], i + 1);
  EXPECT_EQ(report.cleaned + report.failures.size(), 40u);
}

// Runs the same folder with "jobs" workers into a fresh folder and returns
// every file written.
std::map<std::string, std::string> CleanWithJobs(const fs::path& source, const fs::path& into,
                                                 unsigned jobs, BatchReport* report) {
  BatchOptions options = Folders(source, into);
  options.recursive = true;
  options.createDestination = true;
  options.jobs = jobs;
  *report = RunBatch(options);
  return test::Snapshot(into);
}

TEST_F(BatchRunTest, StopFinishesTheFilesInHandAndStartsNoOther) {
  for (int i = 0; i < 10; ++i) Put(Numbered("g", i, ".sgf"), kRichGame);
  std::atomic<bool> stop{false};
  options_.stop = &stop;
  options_.jobs = 1;
  options_.onProgress = [&](const BatchProgress&) { stop = true; };

  const BatchReport report = Run();

  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.found, 10u);
  EXPECT_EQ(report.cleaned, 1u);
  EXPECT_EQ(test::FilesUnder(destination_).size(), 1u);
}

TEST_F(BatchRunTest, OutputIsTheSameForAnyNumberOfJobs) {
  for (int i = 0; i < 60; ++i) {
    Put(fs::path(Numbered("sub", i % 3)) / Numbered("g", i, ".sgf"),
        i % 11 == 0 ? std::string(kDamaged) : Numbered("(;SZ[19]PB[P", i, "];B[aa];W[bb])"));
  }
  BatchReport one;
  const auto expected = CleanWithJobs(source_, temp_ / "j1", 1, &one);
  for (const unsigned jobs : {2u, 4u, 16u, 0u}) {
    SCOPED_TRACE(jobs);
    BatchReport many;
    EXPECT_EQ(CleanWithJobs(source_, temp_ / Numbered("j", static_cast<int>(jobs)), jobs, &many),
              expected);
    EXPECT_EQ(FailureNames(many), FailureNames(one));
    EXPECT_EQ(many.bytesRead, one.bytesRead);
    EXPECT_EQ(many.bytesWritten, one.bytesWritten);
  }
}

TEST(BatchRunCorpusTest, OutputIsTheSameForAnyNumberOfJobs) {
  const fs::path corpus = test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "the shared corpus is absent";
  test::TempFolder temp;
  BatchReport one;
  BatchReport many;
  const auto expected = CleanWithJobs(corpus, temp / "j1", 1, &one);
  const auto actual = CleanWithJobs(corpus, temp / "j4", 4, &many);
  EXPECT_GT(one.cleaned, 0u);
  EXPECT_EQ(one.cleaned + one.failures.size(), one.found);
  EXPECT_EQ(expected.size(), one.cleaned);
  EXPECT_TRUE(actual == expected);
  EXPECT_EQ(many.failures.size(), one.failures.size());
  std::vector<std::string> cutShort;
  for (const FileFailure& failure : one.failures) {
    EXPECT_NE(failure.reason, FailureReason::CannotWrite) << failure.name;
    if (failure.reason == FailureReason::CutShort)
      cutShort.push_back(failure.name.generic_string());
  }
  // The records in the corpus that break off before their game tree closes.
  // (Under a multi-byte system code page, records in another charset that
  // name none may read as never closing too.)
  const std::vector<std::string> brokenOff = {
      "odd/Pro__9p__1501775164019999283.sgf", "odd/Pro__9p__1505979800019999227.sgf",
      "odd/Pro__9p__1507468590010001941.sgf", "odd/Pro__9p__1511855947010001660.sgf",
      "old-format/gnugo__regression__games__owl42.sgf"};
  for (const std::string& name : brokenOff) {
    EXPECT_NE(std::find(cutShort.begin(), cutShort.end(), name), cutShort.end()) << name;
  }
}

TEST(CleanRecordTest, CleansOneRecordInMemory) {
  struct Case {
    const char* input;
    bool ok;
    const char* output;
    FailureReason reason;  // when not ok
  };
  const Case cases[] = {
      {kRichGame, true, kRichGameCleaned, {}},
      {"(;FF[4]HA[2]AB[cc][gg]SZ[9];W[ee]LB[aa:x];B[dd])",
       true,
       "(;GM[1]FF[4]SZ[9]HA[2]AB[cc][gg]\r\n;W[ee]\r\n;B[dd])",
       {}},
      {"", false, "", FailureReason::NoGameFound},
      {kDamaged, false, "", FailureReason::NoGameFound},
      {"(;B[aa]", false, "", FailureReason::CutShort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    std::string output = "stale";
    const BatchCleaning result = CleanInBatch(c.input, &output);
    EXPECT_EQ(result.ok, c.ok);
    if (!c.ok) {
      EXPECT_EQ(result.reason, c.reason);
    }
    EXPECT_EQ(output, c.output);
  }
}

}  // namespace
}  // namespace varnoket
