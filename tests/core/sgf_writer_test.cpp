// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace varnoket {
namespace {

using test::W;

class SgfWriterTest : public ::testing::Test {
 protected:
  SgfWriterTest() { record.Reset(); }

  GameNode* Root() { return record.RootNode(); }
  // Appends a main-line node holding one property.
  GameNode* Then(GameNode* parent, PropertyId id, const char* value) {
    GameNode* node = GameNode::AddChild(parent);
    node->SetValue(id, W(value));
    return node;
  }
  std::string Bytes() {
    std::string bytes;
    EXPECT_TRUE(record.SaveToBytes(&bytes));
    return bytes;
  }

  GameRecord record;
};

TEST_F(SgfWriterTest, ResetRecordIsThreeBytes) { EXPECT_EQ(Bytes(), "(;)"); }

TEST_F(SgfWriterTest, CleanedGameLayoutIsByteExact) {
  Root()->SetValue(prop::GM, W("1"));
  Root()->SetValue(prop::FF, W("4"));
  Root()->SetValue(prop::GN, W("Cup ]final"));
  Root()->SetValue(prop::PW, W("Bob"));
  Root()->SetValue(prop::PB, W("Ann"));
  Root()->SetValue(prop::SZ, W("19"));
  Root()->SetValue(prop::KM, W("6.5"));
  GameNode* n = Then(Root(), prop::B, "pd");
  n = Then(n, prop::W, "dp");
  n = Then(n, prop::B, "pp");
  n = Then(n, prop::W, "");
  Then(n, prop::B, "dd");
  const std::string expected =
      "(;GM[1]FF[4]GN[Cup \\]final]PW[Bob]PB[Ann]SZ[19]KM[6.5]\r\n;B[pd]\r\n;W[dp]\r\n;B[pp]"
      "\r\n;W[]\r\n;B[dd])";
  EXPECT_EQ(Bytes(), expected);
}

TEST_F(SgfWriterTest, VariationsOpenOnNewLines) {
  Root()->SetValue(prop::GM, W("1"));
  GameNode* a = Then(Root(), prop::B, "aa");
  Then(a, prop::W, "bb");
  Then(Root(), prop::B, "cc");
  EXPECT_EQ(Bytes(), "(;GM[1]\r\n(;B[aa]\r\n;W[bb])\r\n(;B[cc]))");
}

TEST_F(SgfWriterTest, EveryValueIsEscaped) {
  const struct {
    PropertyId id;
    const char* value;
    const char* written;
  } cases[] = {
      {prop::PB, "a]b", "(;PB[a\\]b])"},       {prop::C, "C:\\x", "(;C[C:\\\\x])"},
      {prop::C, "ends\\", "(;C[ends\\\\])"},   {prop::AP, "Foo:1.0", "(;AP[Foo:1.0])"},
      {prop::AP, "My]App", "(;AP[My\\]App])"}, {prop::SZ, "19:19", "(;SZ[19:19])"},
      {0, "x]\\y", "(;[x\\]\\\\y])"},          {prop::C, "a\r\nb [c]", "(;C[a\r\nb [c\\]])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    record.Reset();
    Root()->SetValue(c.id, W(c.value));
    const std::string bytes = Bytes();
    EXPECT_EQ(bytes, c.written);
    // Whatever was written reads back as the same value.
    GameRecord again;
    again.Reset();
    if (c.id != 0) {
      ASSERT_TRUE(again.LoadFromBytes(bytes));
      EXPECT_EQ(again.RootNode()->Value(c.id), W(c.value));
    }
  }
}

TEST_F(SgfWriterTest, TextAroundGamesComesBackUnchanged) {
  const std::string input = "(;A[1])\r\n(;B[2])\r\n";
  ASSERT_TRUE(record.LoadFromBytes(input));
  EXPECT_EQ(Bytes(), input);
}

TEST_F(SgfWriterTest, CodePages) {
  Root()->SetValue(prop::PB, u"\u674E \u00E9 \U0001F600");
  record.SetEncoding({TextEncoding::Form::Utf8});
  EXPECT_EQ(Bytes(), "(;PB[\xE6\x9D\x8E \xC3\xA9 \xF0\x9F\x98\x80])");
#ifndef _WIN32
  // ISO-8859-1 keeps what it can and writes "?" for the rest.
  record.SetEncoding({TextEncoding::Form::SystemCodePage});
  std::string bytes;
  EXPECT_TRUE(record.SaveToBytes(&bytes));
  EXPECT_EQ(bytes.substr(0, 9), "(;PB[? \xE9 ");
#endif
}

TEST_F(SgfWriterTest, SaveReplacesALongerFileCompletely) {
  test::TempFolder folder;
  test::WriteBytes(folder / "g.sgf", std::string(10000, 'x'));
  ASSERT_TRUE(record.Save(folder / "g.sgf"));
  EXPECT_EQ(test::ReadBytes(folder / "g.sgf"), "(;)");
  EXPECT_EQ(test::FilesUnder(folder.path()).size(), 1u);  // no temporary left behind
}

TEST_F(SgfWriterTest, SaveIntoAMissingFolderFailsAndCreatesNothing) {
  test::TempFolder folder;
  EXPECT_FALSE(record.Save(folder / "missing" / "g.sgf"));
  EXPECT_EQ(record.path(), folder / "missing" / "g.sgf");
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(SgfWriterTest, SaveOverAFolderFailsAndLeavesIt) {
  test::TempFolder folder;
  std::filesystem::create_directory(folder / "x.sgf");
  EXPECT_FALSE(record.Save(folder / "x.sgf"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "x.sgf"));
  EXPECT_EQ(test::FilesUnder(folder.path()).size(), 0u);
}

#ifndef _WIN32
// A disk that fills in the middle of a save: the file size limit makes the
// kernel refuse the write after 1,000 bytes, in a child process.
TEST_F(SgfWriterTest, DiskFullDuringSaveLeavesTheOriginalUntouched) {
  test::TempFolder folder;
  const std::string original = "(;GM[1]C[the original game])";
  test::WriteBytes(folder / "g.sgf", original);
  Root()->SetValue(prop::C, WideString(100000, u'x'));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(record.Save(folder / "g.sgf") ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "Save reported success on a full disk";
  EXPECT_EQ(test::ReadBytes(folder / "g.sgf"), original);
  EXPECT_EQ(test::FilesUnder(folder.path()).size(), 1u);
}

TEST_F(SgfWriterTest, SaveNeverReplacesAPipe) {
  test::TempFolder folder;
  ASSERT_EQ(mkfifo((folder / "g.sgf").c_str(), 0644), 0);
  EXPECT_FALSE(record.Save(folder / "g.sgf"));
  EXPECT_TRUE(std::filesystem::is_fifo(folder / "g.sgf"));
  EXPECT_EQ(test::FilesUnder(folder.path()).size(), 0u);
}

TEST_F(SgfWriterTest, SaveThroughALinkReplacesItsTargetAndKeepsTheLink) {
  test::TempFolder folder;
  std::filesystem::create_directory(folder / "store");
  test::WriteBytes(folder / "store" / "real.sgf", "old");
  std::filesystem::create_symlink(folder / "store" / "real.sgf", folder / "g.sgf");
  ASSERT_TRUE(record.Save(folder / "g.sgf"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "g.sgf"));
  EXPECT_EQ(test::ReadBytes(folder / "store" / "real.sgf"), "(;)");
}

TEST_F(SgfWriterTest, ReplacingKeepsTheFilesPermissions) {
  test::TempFolder folder;
  test::WriteBytes(folder / "g.sgf", "old");
  std::filesystem::permissions(folder / "g.sgf", std::filesystem::perms(0640));
  ASSERT_TRUE(record.Save(folder / "g.sgf"));
  EXPECT_EQ(std::filesystem::status(folder / "g.sgf").permissions() & std::filesystem::perms::all,
            std::filesystem::perms(0640));
}
#endif

}  // namespace
}  // namespace varnoket
