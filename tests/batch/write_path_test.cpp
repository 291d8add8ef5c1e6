// SPDX-License-Identifier: MIT
// What a run may reach and what it leaves behind: links in the source and
// below the destination, the mode of new files, a disk that is nearly full,
// one folder handle per folder and one flush per run.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "batch/batch_run.h"
#include "batch/collection.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/archive_maker.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::kRichGame;
using test::kRichGameCleaned;

class WritePathTest : public ::testing::Test {
 protected:
  WritePathTest() {
    fs::create_directories(source_);
    options_.source = source_;
    options_.destination = destination_;
    options_.createDestination = true;
  }

  void Put(const fs::path& name, const std::string& bytes) {
    fs::create_directories((source_ / name).parent_path());
    test::WriteBytes(source_ / name, bytes);
  }

  test::TempFolder temp_;
  fs::path source_ = temp_ / "games";
  fs::path destination_ = temp_ / "clean";
  BatchOptions options_;
};

// The real disk, on which another program puts a link in the way of one
// folder the moment the run opens that folder by its path.
class SwappingFileSystem : public platform::FileSystem {
 public:
  SwappingFileSystem(fs::path watched, fs::path target)
      : watched_(std::move(watched)), target_(std::move(target)) {}

  platform::IoStatus OpenFolder(const fs::path& path, platform::FolderHandle* folder) override {
    if (fs::path(path).lexically_normal().parent_path() == watched_ ||
        fs::path(path).lexically_normal() == watched_) {
      fs::remove_all(watched_);
      fs::create_directory_symlink(target_, watched_);
    }
    return FileSystem::OpenFolder(path, folder);
  }

 private:
  const fs::path watched_;
  const fs::path target_;
};

// The real disk, counting the folders opened and the final flushes.
class CountingFileSystem : public platform::FileSystem {
 public:
  int folderOpens = 0;
  int flushes = 0;

  platform::IoStatus OpenFolder(const fs::path& path, platform::FolderHandle* folder) override {
    Count(&folderOpens);
    return FileSystem::OpenFolder(path, folder);
  }
  platform::IoStatus OpenSubfolder(const platform::FolderHandle& base, const fs::path& relative,
                                   bool create, platform::FolderHandle* folder) override {
    Count(&folderOpens);
    return FileSystem::OpenSubfolder(base, relative, create, folder);
  }
  platform::IoStatus FlushFolders(const std::vector<platform::FolderHandle>& folders) override {
    Count(&flushes);
    return FileSystem::FlushFolders(folders);
  }

 private:
  void Count(int* counter) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++*counter;
  }
  std::mutex mutex_;
};

TEST_F(WritePathTest, EachFolderIsOpenedOnceAndTheRunEndsWithOneFlush) {
  const std::vector<std::string> folders = {"", "a/", "a/b/", "c/"};
  for (const std::string& folder : folders) {
    for (int i = 0; i < 20; ++i) Put(folder + test::Numbered("g", i, ".sgf"), kRichGame);
  }
  CountingFileSystem files;
  options_.fileSystem = &files;
  options_.recursive = true;
  options_.jobs = 2;

  const BatchReport report = RunBatch(options_);

  EXPECT_EQ(report.cleaned, 80u);
  EXPECT_EQ(files.folderOpens, 4) << "the destination and each folder below it, once";
  EXPECT_EQ(files.flushes, 1);
  EXPECT_EQ(test::ReadBytes(destination_ / "a" / "b" / "g19.sgf"), kRichGameCleaned);
}

// The real disk, whose final flush sets the run's stop flag as a Ctrl-C
// then would, and waits until released.
class SlowFlush : public platform::FileSystem {
 public:
  std::atomic<bool> stop{false};

  platform::IoStatus FlushFolders(const std::vector<platform::FolderHandle>& folders) override {
    stop = true;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return released_; });
    const platform::IoStatus status = FileSystem::FlushFolders(folders);
    returned_ = true;
    changed_.notify_all();
    return status;
  }

  // Lets the flush go on, and waits until it has returned.
  void Release() {
    std::unique_lock<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return returned_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
  bool returned_ = false;
};

TEST_F(WritePathTest, AStopDuringTheFinalFlushEndsTheRunWithoutWaiting) {
  for (int i = 0; i < 5; ++i) Put(test::Numbered("g", i, ".sgf"), kRichGame);
  SlowFlush files;
  options_.fileSystem = &files;
  options_.stop = &files.stop;

  const BatchReport report = RunBatch(options_);
  files.Release();

  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.cleaned, 5u) << "written, though not known to be on disk";
  EXPECT_EQ(report.notStarted, 0u);
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_EQ(report.notes[0].text, kNotFlushed);
  EXPECT_EQ(test::ReadBytes(destination_ / "g4.sgf"), kRichGameCleaned);
}

// A new file has the source's permission bits with owner write, less the
// umask.
TEST_F(WritePathTest, NewFilesTakeTheSourceModeLessTheUmask) {
  struct Case {
    const char* name;
    mode_t source;
    mode_t written;
  };
  const Case cases[] = {
      {"private.sgf", 0600, 0600},      {"group.sgf", 0640, 0640},
      {"everyone.sgf", 0666, 0644},     {"executable.sgf", 0755, 0755},
      {"set-user-ID.sgf", 04755, 0755}, {"read-only.sgf", 0444, 0644},
  };
  for (const Case& c : cases) {
    Put(c.name, kRichGame);
    ASSERT_EQ(::chmod((source_ / c.name).c_str(), c.source), 0);
  }
  const mode_t umask = ::umask(022);
  const BatchReport report = RunBatch(options_);
  ::umask(umask);

  EXPECT_EQ(report.cleaned, std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    struct stat info {};
    ASSERT_EQ(::stat((destination_ / c.name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.written);
  }
}

// The games of a split collection are new files made from it: written
// through the folder opened once, with its mode as its own file would take.
TEST_F(WritePathTest, SplitGamesTakeTheSourceModeThroughTheFolderOpenedOnce) {
  std::string collection;
  for (int i = 0; i < 30; ++i) collection += kRichGame;
  Put("sub/coll.sgf", collection);
  ASSERT_EQ(::chmod((source_ / "sub" / "coll.sgf").c_str(), 0640), 0);
  CountingFileSystem files;
  options_.fileSystem = &files;
  options_.recursive = true;
  options_.games = GameMode::Split;
  options_.jobs = 2;

  const mode_t umask = ::umask(022);
  const BatchReport report = RunBatch(options_);
  ::umask(umask);

  EXPECT_EQ(report.cleaned, 30u);
  EXPECT_EQ(files.folderOpens, 2) << "the destination and the folder below it, once";
  for (std::uint64_t i = 1; i <= 30; ++i) {
    const fs::path written = destination_ / "sub" / SplitName("coll.sgf", i);
    SCOPED_TRACE(written.string());
    struct stat info {};
    ASSERT_EQ(::stat(written.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
}

// Folder links in the source are entered only when asked, and a folder that
// links lead back to is walked once.
TEST_F(WritePathTest, FolderLinksInTheSourceAreFollowedOnlyWhenAsked) {
  struct Case {
    const char* what;
    bool follow;
    std::vector<std::string> cleaned;
    std::vector<std::string> notes;
  };
  const Case cases[] = {
      {"not followed", false, {"a.sgf", "sub/b.sgf"}, {"outside", "sub/loop"}},
      {"followed", true, {"a.sgf", "outside/private.sgf", "sub/b.sgf"}, {}},
  };
  Put("a.sgf", kRichGame);
  Put("sub/b.sgf", kRichGame);
  const fs::path secret = temp_ / "secret";
  fs::create_directories(secret);
  test::WriteBytes(secret / "private.sgf", kRichGame);
  fs::create_directory_symlink(secret, source_ / "outside");
  fs::create_directory_symlink("..", source_ / "sub" / "loop");
  test::WriteBytes(source_ / "file-link.sgf.target", kRichGame);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(destination_);
    options_.recursive = true;
    options_.followLinks = c.follow;

    const BatchReport report = RunBatch(options_);

    std::vector<std::string> cleaned;
    for (const auto& [name, bytes] : test::Snapshot(destination_)) cleaned.push_back(name);
    EXPECT_EQ(cleaned, c.cleaned);
    EXPECT_EQ(report.failures.size(), 0u);
    std::vector<std::string> notes;
    for (const RunNote& note : report.notes) {
      EXPECT_EQ(note.text, kFolderLinkNotFollowed);
      notes.push_back(note.name.generic_string());
    }
    EXPECT_EQ(notes, c.notes);
  }
}

// A link below the destination, at any depth, is followed only when it
// belongs to the running user or to the owner of the folder that holds it.
// Giving a link away needs root.
TEST_F(WritePathTest, FolderLinksBelowTheDestinationFollowTheLinkRule) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can create another user's link";
  constexpr uid_t kFolderOwner = 1000;
  constexpr uid_t kStranger = 2000;
  struct Case {
    int depth;  // 1: the link is DEST/a; 2: DEST/a/b; 3: DEST/a/b/c
    uid_t linkOwner;
    bool followed;
  };
  const Case cases[] = {
      {1, 0, true},
      {1, kFolderOwner, true},
      {1, kStranger, false},
      {2, 0, true},
      {2, kFolderOwner, true},
      {2, kStranger, false},
      {3, kFolderOwner, true},
      {3, kStranger, false},
  };
  Put("a/b/c/game.sgf", kRichGame);
  options_.recursive = true;
  const std::vector<std::string> names = {"a", "b", "c"};
  for (const Case& c : cases) {
    SCOPED_TRACE("depth " + std::to_string(c.depth) + ", link owner " +
                 std::to_string(c.linkOwner));
    fs::remove_all(destination_);
    const fs::path store = temp_ / "rootonly";
    fs::remove_all(store);
    fs::create_directories(store);
    ASSERT_EQ(::chmod(store.c_str(), 0700), 0);
    // Shared folders down to the one that holds the link.
    fs::path holder = destination_;
    fs::create_directories(holder);
    for (int d = 0;; ++d) {
      ASSERT_EQ(::chown(holder.c_str(), kFolderOwner, kFolderOwner), 0);
      ASSERT_EQ(::chmod(holder.c_str(), 01777), 0);
      if (d + 1 == c.depth) break;
      holder /= names[static_cast<std::size_t>(d)];
      fs::create_directories(holder);
    }
    const fs::path link = holder / names[static_cast<std::size_t>(c.depth - 1)];
    fs::create_directory_symlink(store, link);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    fs::path beyond = store;  // where the file lands through the link
    for (std::size_t d = static_cast<std::size_t>(c.depth); d < names.size(); ++d) {
      beyond /= names[d];
    }

    // A dry run foresees what the real run does, and writes nothing.
    BatchOptions dry = options_;
    dry.dryRun = true;
    const BatchReport foreseen = RunBatch(dry);
    EXPECT_FALSE(fs::exists(beyond / "game.sgf"));
    const BatchReport report = RunBatch(options_);

    EXPECT_EQ(foreseen.cleaned, report.cleaned);
    ASSERT_EQ(foreseen.failures.size(), report.failures.size());
    for (std::size_t i = 0; i < report.failures.size(); ++i) {
      EXPECT_EQ(foreseen.failures[i].name, report.failures[i].name);
      EXPECT_EQ(foreseen.failures[i].systemMessage, report.failures[i].systemMessage);
    }
    EXPECT_EQ(fs::exists(beyond / "game.sgf"), c.followed);
    if (c.followed) {
      EXPECT_EQ(report.cleaned, 1u);
      EXPECT_EQ(test::ReadBytes(destination_ / "a/b/c/game.sgf"), kRichGameCleaned);
    } else {
      ASSERT_EQ(report.failures.size(), 1u);
      EXPECT_EQ(report.failures[0].name, fs::path("a/b/c/game.sgf"));
      EXPECT_EQ(report.failures[0].reason, FailureReason::CannotWrite);
      EXPECT_EQ(report.failures[0].systemMessage, platform::kLinkNotFollowed);
    }
    EXPECT_TRUE(fs::is_symlink(link));
  }
}

// A disk with a fixed number of bytes left: every byte staged is taken, and
// a committed replacement gives back the bytes of the file it replaced.
class SmallDisk : public platform::FileSystem {
 public:
  explicit SmallDisk(std::uint64_t free) : free_(free) {}

  platform::IoStatus Stage(const platform::FolderHandle& folder, const fs::path& name,
                           std::string_view bytes, const platform::StageOptions& options,
                           platform::StagedFile* staged) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (bytes.size() > free_) return platform::IoStatus::NoSpace("No space left on device");
      free_ -= bytes.size();
    }
    platform::IoStatus status = FileSystem::Stage(folder, name, bytes, options, staged);
    if (!status.ok()) Give(bytes.size());
    return status;
  }

  platform::IoStatus Commit(platform::StagedFile* staged) override {
    std::error_code error;
    const std::uint64_t old = staged->replaces() ? fs::file_size(staged->target(), error) : 0;
    platform::IoStatus status = FileSystem::Commit(staged);
    if (status.ok() && !error) Give(old);
    return status;
  }

 private:
  void Give(std::uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_ += bytes;
  }
  std::mutex mutex_;
  std::uint64_t free_;
};

// The folder an archive of the source is cleaned into is opened once, below
// the destination's handle: a link put there afterwards is not written
// through.
TEST_F(WritePathTest, AnArchivesFolderIsOpenedBelowTheDestinationNotByItsPath) {
  test::WriteBytes(source_ / "x.zip",
                   test::MakeArchive(test::MadeFormat::Zip, {{"b.sgf", kRichGame}}));
  const fs::path elsewhere = temp_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(destination_);
  SwappingFileSystem files(destination_ / "x.zip", elsewhere);
  options_.fileSystem = &files;
  options_.openArchives = true;

  const BatchReport report = RunBatch(options_);

  EXPECT_EQ(report.cleaned, 1u);
  EXPECT_FALSE(fs::exists(elsewhere / "b.sgf"));
  EXPECT_EQ(test::ReadBytes(destination_ / "x.zip" / "b.sgf"), kRichGameCleaned);
}

TEST_F(WritePathTest, InPlaceOnANearlyFullDiskEveryFileGetsItsTurn) {
  constexpr int kFiles = 300;
  for (int i = 0; i < kFiles; ++i) Put(test::Numbered("g", i, ".sgf"), kRichGame);
  const std::uint64_t cleanedSize = std::string(kRichGameCleaned).size();
  options_.destination = source_;
  options_.jobs = 2;
  // Room for one cleaned file more, then for none: each rerun must still get
  // further, here all the way.
  for (const std::uint64_t free : {cleanedSize, cleanedSize - 1}) {
    SCOPED_TRACE(free);
    SmallDisk files(free);
    options_.fileSystem = &files;
    for (int i = 0; i < kFiles; ++i)
      test::WriteBytes(source_ / test::Numbered("g", i, ".sgf"), kRichGame);

    const BatchReport report = RunBatch(options_);

    if (free >= cleanedSize) {
      EXPECT_EQ(report.cleaned, static_cast<std::size_t>(kFiles));
      EXPECT_EQ(report.failures.size(), 0u);
      for (const FileFailure& failure : report.failures) {
        ADD_FAILURE() << failure.name << ": " << failure.systemMessage;
      }
    } else {
      EXPECT_EQ(report.cleaned, 0u);
      ASSERT_FALSE(report.failures.empty());
      EXPECT_EQ(report.failures[0].systemMessage, "No space left on device");
    }
  }
}

}  // namespace
}  // namespace varnoket

#endif  // _WIN32
