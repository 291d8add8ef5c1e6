// SPDX-License-Identifier: MIT
// Archives as SOURCE through the built program: every format gives what the
// same files give from a folder; what is refused, what damage costs, and how
// names and messages come out.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/path_text.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/archive_maker.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::MadeEntry;
using test::MadeFormat;
using test::Native;
using test::Outcome;

// Nested folders, names in three scripts, a game that fails and a file that
// is not a game.
const std::vector<MadeEntry> kGames = {
    {"top.sgf", "(;GM[1]FF[4]PB[Ann];B[aa];W[bb])"},
    {"Партии/Иванов.sgf", "(;FF[4]CA[UTF-8]PB[Иванов]C[x];B[cc])"},
    {"棋譜/本因坊/秀策.SGF", "(;FF[4]CA[UTF-8]PW[秀策](;W[dd])(;W[ee]))"},
    {"broken/bad.sgf", "not a game"},
    {"notes.txt", "(;B[aa])"},
};

using ArchiveSourceTest = test::CliFolderTest;

TEST_F(ArchiveSourceTest, EveryFormatCleansAsTheSameFilesFromAFolder) {
  for (const MadeEntry& entry : kGames) Put("folder/" + entry.name, entry.bytes);
  const Outcome fromFolder = Run({"-r", "folder", "expected"});
  ASSERT_EQ(fromFolder.status, 1) << fromFolder.err;
  const auto expected = Snapshot("expected");
  ASSERT_EQ(expected.size(), 3u);

  struct Case {
    MadeFormat format;
    const char* name;
  } cases[] = {
      {MadeFormat::Zip, "games.zip"},      {MadeFormat::Tar, "games.tar"},
      {MadeFormat::TarGzip, "games.tgz"},  {MadeFormat::TarBzip2, "games.tar.bz2"},
      {MadeFormat::TarXz, "games.tar.xz"}, {MadeFormat::TarZstd, "games.tar.zst"},
      {MadeFormat::SevenZip, "games.7z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put(c.name, test::MakeArchive(c.format, kGames));
    const std::string out = std::string(c.name) + ".out";
    const Outcome outcome = Run({"-r", "-j", "3", c.name, out});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(Snapshot(out), expected);
    EXPECT_NE(outcome.err.find(Native(std::string(c.name) + "/broken/bad.sgf") + ": no game found"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("3 files cleaned, 1 failed"), std::string::npos) << outcome.err;
  }
}

TEST_F(ArchiveSourceTest, NothingIsWrittenOutsideTheDestination) {
  Put("hostile.tar",
      test::MakeArchive(MadeFormat::Tar,
                        {{"../escape.sgf", "(;B[aa])"},
                         {"/etc/absolute.sgf", "(;B[aa])"},
                         {"C:/drive.sgf", "(;B[aa])"},
                         {"a/../../up.sgf", "(;B[aa])"},
                         {"link.sgf", "", MadeEntry::Kind::SymbolicLink, "/etc/passwd"},
                         {"hard.sgf", "", MadeEntry::Kind::HardLink, "good.sgf"},
                         {"fifo.sgf", "", MadeEntry::Kind::Fifo},
                         {"good.sgf", "(;B[aa])"},
                         {"./good.sgf", "(;W[bb])"},
                         {"GOOD.sgf", "(;W[cc])"},
                         {"Игра.sgf", "(;B[dd])"},
                         {"ИГРА.SGF", "(;W[ee])"}}));
  const Outcome outcome = Run({"-r", "hostile.tar", "dest/out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(Snapshot("dest"),
            (std::map<std::string, std::string>{{"out/good.sgf", "(;GM[1]FF[4]\r\n;B[aa])"},
                                                {"out/Игра.sgf", "(;GM[1]FF[4]\r\n;B[dd])"}}));
  EXPECT_FALSE(fs::exists(temp_ / "escape.sgf"));
  const struct {
    const char* name;
    const char* why;
  } refusals[] = {
      {"../escape.sgf", "the name leads outside the destination"},
      {"/etc/absolute.sgf", "the name leads outside the destination"},
      {"C:/drive.sgf", "the name leads outside the destination"},
      {"a/../../up.sgf", "the name leads outside the destination"},
      {"link.sgf", "a symbolic link"},
      {"hard.sgf", "a hard link"},
      {"fifo.sgf", "not a regular file"},
      {"good.sgf", "the name is taken by an earlier entry"},
      // One file on Windows and other file systems that ignore case.
      {"GOOD.sgf", "the name differs only in letter case from an earlier entry's, good.sgf"},
      {"ИГРА.SGF", "the name differs only in letter case from an earlier entry's, Игра.sgf"},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    // One line names the archive, the entry and the reason.
    const std::string reason = std::string("not extracted: ") + refusal.why;
    bool found = false;
    std::size_t start = 0;
    while (!found && start < outcome.err.size()) {
      std::size_t end = outcome.err.find('\n', start);
      if (end == std::string::npos) end = outcome.err.size();
      const std::string line = outcome.err.substr(start, end - start);
      found =
          line.find("hostile.tar" + Native(std::string("/") + refusal.name)) != std::string::npos &&
          line.find(reason) != std::string::npos;
      start = end + 1;
    }
    EXPECT_TRUE(found) << outcome.err;
  }
}

TEST_F(ArchiveSourceTest, DamageKeepsWhatCameBeforeAndNamesTheEntry) {
  const std::string noise = test::Incompressible(300000);  // a cut falls inside b.sgf
  const std::string whole = test::MakeArchive(
      MadeFormat::TarGzip,
      {{"a.sgf", "(;B[aa])"}, {"b.sgf", "(;B[bb]C[" + noise + "])"}, {"c.sgf", "(;B[cc])"}});
  Put("cut.tar.gz", whole.substr(0, whole.size() * 2 / 3));
  Put("secret.zip", test::MakeArchive(MadeFormat::Zip, {{"a.sgf", "(;B[aa])"}, {"b.sgf", "(;)"}},
                                      {"", "password"}));
  struct Case {
    const char* archive;
    std::map<std::string, std::string> written;
    std::string message;
  } cases[] = {
      {"cut.tar.gz",
       {{"a.sgf", "(;GM[1]FF[4]\r\n;B[aa])"}},
       test::Native("cut.tar.gz/b.sgf") + ": the archive is damaged"},
      {"secret.zip",
       {},
       test::Native("secret.zip/a.sgf") + ": not extracted: the entry is encrypted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    const std::string out = std::string(c.archive) + ".out";
    const Outcome outcome = Run({c.archive, out});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(Snapshot(out), c.written);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
}

TEST_F(ArchiveSourceTest, WhatIsNotAnArchiveAndWhatIsLeftInFolders) {
  Put("fake.zip", "PK, but not an archive");
  Put("all.sgf.xz", test::MakeArchive(MadeFormat::Xz, {{"x", "(;B[aa])"}}));
  Put("deep.zip", test::MakeArchive(MadeFormat::Zip, {{"a/b.sgf", "(;)"}, {"a/c.sgf", "(;)"}}));
  struct Case {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  } cases[] = {
      {{"fake.zip", "out"}, 1, "fake.zip: not an archive Varnoket can read"},
      {{"all.sgf.xz", "out"}, 0, "1 file cleaned, 0 failed"},
      {{"deep.zip", "out"}, 0, "(2 are in folders of the archive; -r cleans them too)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    const Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
  EXPECT_EQ(test::ReadBytes(temp_ / "out" / "all.sgf"), "(;GM[1]FF[4]\r\n;B[aa])");
}

TEST_F(ArchiveSourceTest, ArchivesInAFolderAreOpenedOnlyWhenAsked) {
  Put("folder/a.sgf", "(;B[aa])");
  Put("folder/2001.ZIP", test::MakeArchive(MadeFormat::Zip, {{"b.sgf", "(;W[bb])"}}));
  Put("folder/sub/2002.tar.gz", test::MakeArchive(MadeFormat::TarGzip, {{"c.sgf", "not a game"}}));
  struct Case {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> written;
    const char* message;
  } cases[] = {
      {{"-r", "folder", "plain"},
       {{"a.sgf", "(;GM[1]FF[4]\r\n;B[aa])"}},
       "2 archives left alone (--archives cleans them)"},
      {{"-r", "--archives", "folder", "opened"},
       {{"a.sgf", "(;GM[1]FF[4]\r\n;B[aa])"}, {"2001.ZIP/b.sgf", "(;GM[1]FF[4]\r\n;W[bb])"}},
       "sub/2002.tar.gz/c.sgf: no game found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[2]);
    const Outcome outcome = Run(c.arguments);
    EXPECT_EQ(Snapshot(c.arguments.back()), c.written);
    EXPECT_NE(outcome.err.find(Native(c.message)), std::string::npos) << outcome.err;
  }
}

TEST_F(ArchiveSourceTest, WhatGoesIntoAnArchiveDestination) {
  Put("one.sgf", "(;B[aa])");
  Put("folder/a.sgf", "(;B[aa])");
  Put("folder/2001.ZIP", test::MakeArchive(MadeFormat::Zip, {{"b.sgf", "(;W[bb])"}}));
  Put("folder/sub/2002.tar.gz", test::MakeArchive(MadeFormat::TarGzip, {{"c.sgf", "(;B[cc])"}}));
  struct Case {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> held;
  } cases[] = {
      {{"one.sgf", "one.zip"}, {{"one.sgf", "(;GM[1]FF[4]\r\n;B[aa])"}}},
      {{"-r", "--archives", "folder", "all.tar.zst"},
       {{"a.sgf", "(;GM[1]FF[4]\r\n;B[aa])"},
        {"2001.ZIP/b.sgf", "(;GM[1]FF[4]\r\n;W[bb])"},
        {"sub/2002.tar.gz/c.sgf", "(;GM[1]FF[4]\r\n;B[cc])"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    const Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    const std::string back = c.arguments.back() + ".back";
    ASSERT_EQ(Run({"-q", "-r", c.arguments.back(), back}).status, 0);
    EXPECT_EQ(Snapshot(back), c.held);
  }
  // Standard input has no name to give its entry.
  const Outcome piped = test::RunCli(temp_.path(), {"-", "piped.zip"}, "(;B[aa])");
  EXPECT_EQ(piped.status, 2);
  EXPECT_NE(piped.err.find("cannot clean standard input or a pipe into an archive"),
            std::string::npos)
      << piped.err;
  EXPECT_FALSE(fs::exists(temp_ / "piped.zip"));
}

TEST_F(ArchiveSourceTest, WrittenArchivesHoldWhatAFolderRunWritesAndRepeat) {
  for (const MadeEntry& entry : kGames) Put("folder/" + entry.name, entry.bytes);
  ASSERT_EQ(Run({"-r", "folder", "expected"}).status, 1);
  const auto expected = Snapshot("expected");
  for (const char* name : {"out.zip", "out.tar", "out.tar.gz", "out.tgz", "out.tar.bz2",
                           "out.tar.xz", "out.tar.zst"}) {
    SCOPED_TRACE(name);
    const Outcome outcome = Run({"-r", "folder", name});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("3 files cleaned, 1 failed"), std::string::npos) << outcome.err;
    const std::string first = test::ReadBytes(temp_ / name);
    ASSERT_EQ(Run({"-q", "-r", "folder", name}).status, 1);
    EXPECT_EQ(test::ReadBytes(temp_ / name), first);
    const std::string back = std::string(name) + ".back";
    ASSERT_EQ(Run({"-q", "-r", name, back}).status, 0);
    EXPECT_EQ(Snapshot(back), expected);
  }
}

#ifndef _WIN32
TEST_F(ArchiveSourceTest, NewFilesTakeTheEntrysPermissionBitsWithOwnerWrite) {
  const ::mode_t umask = ::umask(022);
  MadeEntry readOnly("sub/ro.sgf", "(;B[aa])");
  readOnly.permissions = 0444;
  MadeEntry setuid("suid.sgf", "(;B[aa])");
  setuid.permissions = 04755;
  MadeEntry private_("private.sgf", "(;B[aa])");
  private_.permissions = 0600;
  Put("entries.zip", test::MakeArchive(MadeFormat::Zip, {readOnly, setuid, private_}));
  // A single compressed file stores no bits of its own: it gives the file's.
  Put("one.sgf.gz", test::MakeArchive(MadeFormat::Gzip, {{"x", "(;B[aa])"}}));
  fs::permissions(temp_ / "one.sgf.gz", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_EQ(Run({"-q", "-r", "entries.zip", "out"}).status, 0);
  ASSERT_EQ(Run({"-q", "one.sgf.gz", "out"}).status, 0);
  const struct {
    const char* name;
    unsigned bits;
  } cases[] = {
      {"out/sub/ro.sgf", 0644},
      {"out/suid.sgf", 0755},
      {"out/private.sgf", 0600},
      {"out/one.sgf", 0640},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fs::status(temp_ / c.name).permissions() & fs::perms::mask,
              static_cast<fs::perms>(c.bits));
  }

  // A new archive takes its source's bits as a file cleaned from it would; a
  // replaced one keeps the bits of the one it replaces.
  ASSERT_EQ(Run({"-q", "one.sgf.gz", "copy.tar"}).status, 0);
  EXPECT_EQ(fs::status(temp_ / "copy.tar").permissions() & fs::perms::mask,
            static_cast<fs::perms>(0640));
  fs::permissions(temp_ / "copy.tar", static_cast<fs::perms>(0600));
  ASSERT_EQ(Run({"-q", "one.sgf.gz", "copy.tar"}).status, 0);
  EXPECT_EQ(fs::status(temp_ / "copy.tar").permissions() & fs::perms::mask,
            static_cast<fs::perms>(0600));
  ::umask(umask);
}
#endif

}  // namespace
}  // namespace varnoket
