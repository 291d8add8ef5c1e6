// SPDX-License-Identifier: MIT
// The atomic write seam on the real disk: what a replacement keeps, what it
// refuses, what it checks, and the order of its steps.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_source.h"
#include "tests/support/recording_file_system.h"
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>

#include "platform/posix/write_way.h"
#endif

namespace varnoket {
namespace {

namespace fs = std::filesystem;
using platform::FileIdentity;
using platform::IoStatus;
using platform::StagedFile;
using test::RecordingFileSystem;

std::uint64_t ThisProcess() {
#ifdef _WIN32
  return ::GetCurrentProcessId();
#else
  return static_cast<std::uint64_t>(::getpid());
#endif
}

// The general way of writing, which systems without unnamed files or an
// atomic exchange take, for as long as it lives.
class GeneralWay {
 public:
  explicit GeneralWay(bool on) : on_(on) {
#ifndef _WIN32
    if (on_) platform::SetWriteWay(platform::WriteWay::General);
#endif
  }
  ~GeneralWay() {
#ifndef _WIN32
    if (on_) platform::SetWriteWay(platform::WriteWay::Best);
#endif
  }
  GeneralWay(const GeneralWay&) = delete;
  GeneralWay& operator=(const GeneralWay&) = delete;

 private:
  bool on_;
};

class FileSystemTest : public ::testing::Test {
 protected:
  fs::path Put(const fs::path& name, const std::string& bytes) {
    const fs::path path = temp_ / name;
    fs::create_directories(path.parent_path());
    test::WriteBytes(path, bytes);
    // An old modification time, so that a rewrite within the clock's
    // resolution still shows.
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24));
    return path;
  }

  // "path" holds "left" (null: nothing), and its folder nothing else, no
  // temporary either; then "path" is removed for the next case.
  void ExpectOnly(const fs::path& path, const char* left) {
    if (left == nullptr) {
      EXPECT_FALSE(fs::exists(path));
    } else {
      EXPECT_EQ(test::ReadBytes(path), left);
    }
    EXPECT_EQ(Names(path.parent_path()).size(), left == nullptr ? 0u : 1u) << "no temporary left";
    fs::remove(path);
  }

  std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempFolder temp_;
};

// A file read block by block gives every byte it holds when read, whatever
// it held when opened: a file that grew meanwhile is read to its new end.
TEST_F(FileSystemTest, AFileReadInBlocksIsReadToItsEnd) {
  struct Case {
    std::string before;  // when opened
    std::string after;   // when read
    std::size_t block;
  };
  const Case cases[] = {
      {"(;B[aa])", "(;B[aa])", 64},
      {"(;B[aa])", "(;B[aa])", 8},
      {"(;B[aa])", "(;B[aa];W[bb])", 64},
      {"(;B[aa])", "(;B[aa];W[bb])", 3},
      {"", "", 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after + " in blocks of " + std::to_string(c.block));
    const fs::path path = Put("grow.sgf", c.before);
    std::unique_ptr<platform::ByteSource> source;
    FileIdentity identity;
    ASSERT_TRUE(platform::DefaultFileSystem().OpenFile(path, &source, &identity).ok());
    EXPECT_EQ(identity.size, c.before.size());
    test::WriteBytes(path, c.after);
    std::string read;
    std::string block(c.block, '\0');
    for (std::size_t got = 1; got != 0;) {
      ASSERT_TRUE(source->Read(block.data(), block.size(), &got).ok());
      read.append(block.data(), got);
    }
    EXPECT_EQ(read, c.after);
  }
}

// A read refuses what is no file it can hold: nothing, a folder, a file
// larger than a read may take.
TEST_F(FileSystemTest, AReadRefusesWhatIsNoFileItCanHold) {
  const fs::path huge = Put("huge.sgf", "(;GM[1])");
  std::error_code error;
  fs::resize_file(huge, platform::kMaxReadableFileSize + 1, error);
  for (const fs::path& path : {temp_ / "missing.sgf", temp_.path(), huge}) {
    if (path == huge && error) continue;  // no sparse files here
    SCOPED_TRACE(path.string());
    std::string bytes = "stale";
    EXPECT_FALSE(platform::DefaultFileSystem().ReadFile(path, &bytes, nullptr).ok());
  }
  test::WriteBytes(temp_ / "game.sgf", "(;GM[1];B[aa])");
  std::string bytes;
  EXPECT_TRUE(platform::DefaultFileSystem().ReadFile(temp_ / "game.sgf", &bytes, nullptr).ok());
  EXPECT_EQ(bytes, "(;GM[1];B[aa])");
}

// Cleaning in place: the name is replaced only while it holds the file that
// was read, unchanged. Another program acts after the read, either before the
// write begins or just before the commit; both ways of replacing are tried.
TEST_F(FileSystemTest, ReplacesOnlyTheFileThatWasRead) {
  enum class When { BeforeStage, BeforeCommit };
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> act;
    bool changed;
    const char* left;  // what the name holds afterwards; null: nothing
  };
  const Case cases[] = {
      {"untouched", [](const fs::path&) {}, false, "cleaned"},
      {"rewritten, same size", [](const fs::path& p) { test::WriteBytes(p, "ORIGINAL"); }, true,
       "ORIGINAL"},
      {"rewritten, longer", [](const fs::path& p) { test::WriteBytes(p, "edited by hand"); }, true,
       "edited by hand"},
      {"removed", [](const fs::path& p) { fs::remove(p); }, true, nullptr},
      {"replaced by another file",
       [](const fs::path& p) {
         test::WriteBytes(fs::path(p) += ".new", "saved by an editor");
         fs::rename(fs::path(p) += ".new", p);
       },
       true, "saved by an editor"},
  };
  for (const bool generalPath : {false, true}) {
    for (const When when : {When::BeforeStage, When::BeforeCommit}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (generalPath ? ", general path" : "") +
                     (when == When::BeforeStage ? ", before the write" : ", before the commit"));
        const fs::path path = Put("game.sgf", "original");
        const GeneralWay way(generalPath);
        RecordingFileSystem files;
        std::string bytes;
        FileIdentity read;
        ASSERT_TRUE(files.ReadFile(path, &bytes, &read).ok());
        EXPECT_EQ(bytes, "original");
        if (when == When::BeforeStage) c.act(path);
        if (when == When::BeforeCommit) files.beforeCommit = c.act;

        const IoStatus status = files.WriteFileAtomically(path, "cleaned", {&read});

        EXPECT_EQ(status.ok(), !c.changed) << status.message();
        EXPECT_EQ(status.changed(), c.changed);
        ExpectOnly(path, c.left);
      }
    }
  }
}

TEST_F(FileSystemTest, NewNameTakenMeanwhileIsLeftToTheOtherFile) {
  for (const bool generalPath : {false, true}) {
    SCOPED_TRACE(generalPath ? "general path" : "unnamed file");
    const GeneralWay way(generalPath);
    RecordingFileSystem files;
    files.beforeCommit = [](const fs::path& p) { test::WriteBytes(p, "someone else's"); };
    const IoStatus status = files.WriteFileAtomically(temp_ / "new.sgf", "cleaned");
    EXPECT_TRUE(status.changed()) << status.message();
    EXPECT_EQ(test::ReadBytes(temp_ / "new.sgf"), "someone else's");
    EXPECT_EQ(Names(temp_.path()), std::vector<std::string>{"new.sgf"});
    fs::remove(temp_ / "new.sgf");
  }
}

// A new file takes a free name unless another program took it first, a file
// discarded before its commit leaves nothing behind, and a file that grows
// by Append is seen under its name only once committed.
TEST_F(FileSystemTest, NewFileTakesItsNameOnlyWhileFree) {
  struct Case {
    const char* what;
    platform::StageOptions options;
    bool takenFirst;  // by another file, which a looked-up name replaces
    bool commit;
    const char* left;  // what the name holds afterwards; null: nothing
  };
  const Case cases[] = {
      {"free, whole, committed", {nullptr, 0644, true, true}, false, true, "cleaned"},
#ifndef _WIN32
      {"free, whole, taken before", {nullptr, 0644, true, true}, true, true, "someone else's"},
#endif
      {"free, whole, discarded", {nullptr, 0644, true, true}, false, false, nullptr},
      {"looked up, whole, discarded", {nullptr, 0644, false, true}, false, false, nullptr},
      {"looked up, whole, taken before", {nullptr, 0644, false, true}, true, true, "cleaned"},
      {"looked up, appended, committed", {nullptr, 0644, false, false}, false, true, "cleaned"},
      {"free, appended, discarded", {nullptr, 0644, true, false}, false, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path path = temp_ / "new.sgf";
    if (c.takenFirst) test::WriteBytes(path, "someone else's");
    platform::FileSystem& files = platform::DefaultFileSystem();
    platform::FolderHandle folder;
    ASSERT_TRUE(files.OpenFolder(temp_.path(), &folder).ok());
    IoStatus status;
    {
      platform::StagedFile staged;
      const std::string_view first = c.options.whole ? "cleaned" : "clea";
      status = files.Stage(folder, "new.sgf", first, c.options, &staged);
      if (status.ok() && !c.options.whole) {
        status = files.Append(&staged, "ned");
        EXPECT_FALSE(fs::exists(path)) << "seen before its commit";
      }
      if (status.ok() && c.commit) status = files.Commit(&staged);
    }
    EXPECT_EQ(status.changed(), c.takenFirst && c.options.nameIsFree) << status.message();
    ExpectOnly(path, c.left);
  }
}

// What the replaced file had is kept, and a file that may not be written is
// refused and left as it was. Giving a file away needs root.
TEST_F(FileSystemTest, KeepsOwnerAndPermissionsAndRefusesReadOnlyFiles) {
  struct Case {
    const char* what;
    fs::perms mode;
    int owner;            // -1: the running user
    const char* message;  // null: replaced
  };
  const Case cases[] = {
      {"private file", fs::perms(0600), -1, nullptr},
      {"read-only", fs::perms(0444), -1, "read-only"},
#ifndef _WIN32
      {"another user's private file", fs::perms(0600), 1234, nullptr},
      {"set-group-ID bit", fs::perms(02755), 1234, nullptr},
      {"another user's file, no write permission for anyone", fs::perms(0440), 1234, "read-only"},
#endif
  };
  for (const bool generalPath : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (generalPath ? ", general path" : ""));
      const fs::path path = Put("game.sgf", "original");
#ifndef _WIN32
      if (c.owner >= 0) {
        if (::geteuid() != 0) continue;  // only root can give a file away
        ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(c.owner), 4321), 0);
      }
#endif
      fs::permissions(path, c.mode);
      const GeneralWay way(generalPath);
      RecordingFileSystem files;

      // A dry run foresees what the write meets.
      EXPECT_EQ(files.ProbeWrite(path).message(), c.message != nullptr ? c.message : "");
      const IoStatus status = files.WriteFileAtomically(path, "cleaned");

      EXPECT_EQ(status.message(), c.message != nullptr ? c.message : "");
      EXPECT_EQ(test::ReadBytes(path), c.message != nullptr ? "original" : "cleaned");
#ifdef _WIN32
      EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_write,
                c.mode & fs::perms::owner_write);
#else
      struct stat info {};
      ASSERT_EQ(::stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, static_cast<mode_t>(c.mode));
      if (c.owner >= 0) {
        EXPECT_EQ(info.st_uid, static_cast<uid_t>(c.owner));
        EXPECT_EQ(info.st_gid, 4321u);
      }
#endif
      EXPECT_EQ(Names(temp_.path()), std::vector<std::string>{"game.sgf"});
      fs::permissions(path, fs::perms(0644));
      fs::remove(path);
    }
  }
}

// A write that cannot be done leaves what was there and creates nothing: no
// missing folder, no temporary file.
TEST_F(FileSystemTest, AWriteThatCannotBeDoneLeavesWhatWasThere) {
  platform::FileSystem& files = platform::DefaultFileSystem();
  EXPECT_FALSE(files.WriteFileAtomically(temp_ / "missing" / "g.sgf", "cleaned").ok());
  fs::create_directory(temp_ / "folder.sgf");
  EXPECT_FALSE(files.WriteFileAtomically(temp_ / "folder.sgf", "cleaned").ok());
  EXPECT_TRUE(fs::is_directory(temp_ / "folder.sgf"));
  std::vector<std::string> left = {"folder.sgf"};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((temp_ / "pipe.sgf").c_str(), 0644), 0);
  EXPECT_FALSE(files.WriteFileAtomically(temp_ / "pipe.sgf", "cleaned").ok());
  EXPECT_TRUE(fs::is_fifo(temp_ / "pipe.sgf"));
  // A disk that fills in the middle of the write: the file size limit makes
  // the kernel refuse it after 1,000 bytes, in a child process.
  Put("full.sgf", "original");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(files.WriteFileAtomically(temp_ / "full.sgf", std::string(100000, 'x')).ok() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "success reported on a full disk";
  EXPECT_EQ(test::ReadBytes(temp_ / "full.sgf"), "original");
  left.insert(left.end(), {"full.sgf", "pipe.sgf"});
#endif
  EXPECT_EQ(Names(temp_.path()), left);
}

TEST_F(FileSystemTest, ReplacesFilesWhoseNamesAreAsLongAsNamesGet) {
  for (const std::size_t length : {250u, 255u}) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'n') + ".sgf";
    const fs::path path = Put(name, "original");
    ASSERT_TRUE(fs::exists(path));
    for (const bool generalPath : {false, true}) {
      const GeneralWay way(generalPath);
      RecordingFileSystem files;
      EXPECT_TRUE(files.WriteFileAtomically(path, name).ok());
      EXPECT_EQ(test::ReadBytes(path), name);
    }
    EXPECT_EQ(Names(temp_.path()), std::vector<std::string>{name});
    fs::remove(path);
  }
}

TEST_F(FileSystemTest, LeftoverTemporariesOfDeadRunsAreRemovedAndNothingElse) {
  const std::string dead = "99999996";  // above every process number in use
  const std::string self = std::to_string(ThisProcess());
  const std::vector<std::string> leftovers = {
      ".varnoket-" + dead + "-0.tmp", ".varnoket-" + dead + "-12345.tmp",
      "game.sgf.varnoket-" + dead + "-3.tmp",  // as earlier versions named them
  };
  std::vector<std::string> kept = {
      ".varnoket-" + self + "-1.tmp",  // its process still runs
      ".varnoket-x-1.tmp",
      ".varnoket--1.tmp",
      ".varnoket-" + dead + "-.tmp",
      "varnoket-" + dead + "-1.tmp",
      "photos-from-" + dead + "-1.tmp",
      ".varnoket-" + dead + "-1.tmp.bak",
      ".varnoket-" + dead + "-1.TMP",
      "game.sgf",
      "notes.tmp",
  };
#ifndef _WIN32
  kept.push_back(".varnoket-" + std::to_string(::getppid()) + "-2.tmp");  // so does this one
#endif
  for (const std::string& name : leftovers) Put(fs::path("games") / name, "x");
  for (const std::string& name : kept) Put(fs::path("games") / name, "x");
  fs::create_directories(temp_ / "games" / (".varnoket-" + dead + "-7.tmp"));
  std::vector<std::string> expected = kept;
  expected.push_back(".varnoket-" + dead + "-7.tmp");  // a folder
  std::sort(expected.begin(), expected.end());

  EXPECT_TRUE(platform::DefaultFileSystem().RemoveLeftoverTemporaries(temp_ / "games").ok());

  EXPECT_EQ(Names(temp_ / "games"), expected);
}

#ifndef _WIN32
// A link at the destination is followed only where the kernel's
// protected-symlinks rule would follow it, and nowhere is the path resolved
// first. Giving a link away needs root.
TEST_F(FileSystemTest, FollowsOnlyLinksOwnedByTheUserOrTheFolderOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can create another user's link";
  constexpr uid_t kFolderOwner = 1000;
  constexpr uid_t kStranger = 2000;
  const fs::path store = temp_ / "store";
  fs::create_directories(store);
  const fs::path target = store / "real.sgf";

  struct Case {
    const char* what;
    bool sticky;             // the link's folder is world-writable with the sticky bit
    uid_t linkOwner;         // of the link
    bool throughFolderLink;  // the link points through a stranger's link to a folder
    bool followed;
  };
  const Case cases[] = {
      {"own link in a shared folder", true, 0, false, true},
      {"folder owner's link in a shared folder", true, kFolderOwner, false, true},
      {"stranger's link in a shared folder", true, kStranger, false, false},
      {"stranger's link in a private folder", false, kStranger, false, false},
      {"own link through a stranger's folder link", true, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path shared = temp_ / "shared";
    fs::remove_all(shared);
    fs::create_directories(shared);
    ASSERT_EQ(::chown(shared.c_str(), kFolderOwner, kFolderOwner), 0);
    ASSERT_EQ(::chmod(shared.c_str(), c.sticky ? 01777 : 0755), 0);
    test::WriteBytes(target, "root's file");
    fs::path pointsTo = target;
    if (c.throughFolderLink) {
      fs::create_directory_symlink(store, shared / "dir");
      ASSERT_EQ(::lchown((shared / "dir").c_str(), kStranger, kStranger), 0);
      pointsTo = "dir/real.sgf";
    }
    const fs::path link = shared / "a.sgf";
    fs::create_symlink(pointsTo, link);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);

    platform::FileSystem& files = platform::DefaultFileSystem();
    EXPECT_EQ(files.ProbeWrite(link).message(), c.followed ? "" : "link not followed");
    const IoStatus status = files.WriteFileAtomically(link, "cleaned");

    EXPECT_EQ(status.message(), c.followed ? "" : "link not followed");
    EXPECT_EQ(test::ReadBytes(target), c.followed ? "cleaned" : "root's file");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), pointsTo);
  }
}

// A replacement keeps the old file's extended attributes, and says which it
// could not keep.
TEST_F(FileSystemTest, ReplacementKeepsExtendedAttributes) {
  const fs::path path = Put("game.sgf", "original");
  const std::string value = "from the archive";
  if (::setxattr(path.c_str(), "user.varnoket.test", value.data(), value.size(), 0) != 0) {
    GTEST_SKIP() << "no user attributes on this file system";
  }
  for (const bool generalPath : {false, true}) {
    SCOPED_TRACE(generalPath ? "general path" : "unnamed file");
    const GeneralWay way(generalPath);
    platform::FileSystem& files = platform::DefaultFileSystem();
    platform::FolderHandle folder;
    ASSERT_TRUE(files.OpenFolder(temp_.path(), &folder).ok());
    StagedFile staged;
    ASSERT_TRUE(files.Stage(folder, "game.sgf", "cleaned", {}, &staged).ok());
    EXPECT_EQ(staged.note(), "");
    ASSERT_TRUE(files.Flush({&staged}).ok());
    ASSERT_TRUE(files.Commit(&staged).ok());

    EXPECT_EQ(test::ReadBytes(path), "cleaned");
    std::string kept(64, '\0');
    const ssize_t size = ::getxattr(path.c_str(), "user.varnoket.test", kept.data(), kept.size());
    ASSERT_GE(size, 0) << "attribute lost";
    kept.resize(static_cast<std::size_t>(size));
    EXPECT_EQ(kept, value);
  }
}

// A link of the user's own replaces its target and stays; a dangling link is
// replaced by the file itself.
TEST_F(FileSystemTest, OwnLinkReplacesItsTargetAndADanglingOneIsReplaced) {
  const fs::path target = Put("store/real.sgf", "old");
  fs::create_symlink(target, temp_ / "link.sgf");
  EXPECT_TRUE(platform::DefaultFileSystem().WriteFileAtomically(temp_ / "link.sgf", "new").ok());
  EXPECT_TRUE(fs::is_symlink(temp_ / "link.sgf"));
  EXPECT_EQ(test::ReadBytes(target), "new");

  const fs::path link = temp_ / "a.sgf";
  fs::create_symlink(temp_ / "missing" / "real.sgf", link);
  EXPECT_TRUE(platform::DefaultFileSystem().WriteFileAtomically(link, "cleaned").ok());
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(test::ReadBytes(link), "cleaned");
}
#endif

}  // namespace
}  // namespace varnoket
