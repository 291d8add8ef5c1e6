// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

using test::W;

// The record written back, with each CR LF shown as "|".
std::string Written(const GameRecord& record) {
  std::string bytes;
  EXPECT_TRUE(record.SaveToBytes(&bytes));
  return test::ShowLineBreaks(bytes);
}

void ExpectLoads(const std::string& input, const std::string& written) {
  SCOPED_TRACE(input);
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes(input));
  EXPECT_EQ(Written(record), written);
  EXPECT_EQ(record.currentGame(), 0);
  for (const GameTree& game : record.games()) EXPECT_EQ(game.current, game.root);
}

void ExpectDropped(const std::string& input) {
  SCOPED_TRACE(input);
  GameRecord record;
  record.Reset();
  EXPECT_FALSE(record.LoadFromBytes(input));
  // A failed load leaves the reset game in place.
  ASSERT_EQ(record.games().size(), 1u);
  EXPECT_EQ(Written(record), "(;)");
}

TEST(SgfReaderTest, AcceptedGrammar) {
  const struct {
    const char* input;
    const char* written;
  } cases[] = {
      {"(;GM[1]SZ[19];B[pd];W[dp])", "(;GM[1]SZ[19]|;B[pd]|;W[dp])"},
      {"(;GM[1](;B[pd])(;B[dd];W[pp]))", "(;GM[1]|(;B[pd])|(;B[dd]|;W[pp]))"},
      {"(; G M [1])", "(;GM[1])"},
      {"  \t(;)\n", "  \t(;)\n"},
      {"(;;;)", "(;|;|;)"},
      {"(;GM[1]XX[foo])", "(;GM[1]XX[foo])"},
      {"(;B[aa]B[bb])", "(;B[aa]B[bb])"},
      {"(;AB[aa][bb] \r\n [cc])", "(;AB[aa][bb][cc])"},
      {"(;B[aa]])", "(;B[aa][])"},
      {"(;C[a\\]b])", "(;C[a\\]b])"},
      {"(;C[a\\\\b])", "(;C[a\\\\b])"},
      {"(;C[line\\\r\nbreak])", "(;C[line\r\nbreak])"},
      {"(;C[a[b(;)c])", "(;C[a[b(;)c])"},
      {"(;AP[My\\]App])", "(;AP[My\\]App])"},
      {"(;A[1](;B[2])(;C[3]);D[4])", "(;A[1]|;D[4])"},
      {"(;A[1](;B[2](;C[3])(;D[4]))(;E[5]))", "(;A[1]|(;B[2]|(;C[3])|(;D[4]))|(;E[5]))"},
      // A tree that breaks off inside may let a later "(" succeed on its own.
      {"(;b[aa](;B[cc]))", "(;b[aa](;B[cc]))"},
      {"head(;A[1])mid(;B[2])tail", "head(;A[1])mid(;B[2])tail"},
      {"(;A[1])\r\n(;B[2])\r\n", "(;A[1])\r\n(;B[2])\r\n"},
      // Dropped trees become part of the text around the accepted ones.
      {"(;b[x])(;B[2])", "(;b[x])(;B[2])"},
      {"(;A[1])()", "(;A[1])()"},
      // Text after a variation drops the tree; a later "(" starts over.
      {"(;A[1](;B[2]) x (;C[3]))", "(;A[1](;B[2]) x (;C[3]))"},
      // A backslash between values ends the property and is consumed.
      {"(;A[1]\\B[2])", "(;A[1]B[2])"},
  };
  for (const auto& c : cases) {
    ExpectLoads(c.input, test::ShowLineBreaks(c.written));
  }
}

TEST(SgfReaderTest, RejectedGrammar) {
  for (const char* input : {"", "no tree here", "()", "(())", "((;B[aa]))", "(;b[aa])",
                            "(;GaMe[1])", "(;1[x])", "(;GM[1]X)", "(;C[a[b]c])", "(;GM[1]",
                            "(;C[abc", "(;C[abc\\", "(;A[1]\f)", "(;[1])", "(;A)"}) {
    ExpectDropped(input);
  }
}

TEST(SgfReaderTest, TreeStructureFollowsTheText) {
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes("(;GM[1](;B[pd])(;B[dd];W[pp]))"));
  const GameNode* root = record.RootNode();
  ASSERT_NE(root->firstChild, nullptr);
  const GameNode* first = root->firstChild;
  const GameNode* second = first->nextSibling;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(root->mainChild, first);
  EXPECT_EQ(second->prevSibling, first);
  EXPECT_EQ(first->parent, root);
  EXPECT_EQ(second->parent, root);
  EXPECT_EQ(first->Value(prop::B), W("pd"));
  EXPECT_EQ(second->mainChild->Value(prop::W), W("pp"));
  EXPECT_TRUE(first->hasMove);
  EXPECT_TRUE(root->hasRoot);
}

TEST(SgfReaderTest, RepeatedIdentifiersStaySeparatePropertiesInTextOrder) {
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes("(;AP[GNU]SZ[19]AP[fox]ZZ[1]YY[2])"));
  const GameNode* root = record.RootNode();
  ASSERT_EQ(root->properties.size(), 5u);
  EXPECT_EQ(root->properties[0].descriptor.id, prop::AP);
  EXPECT_EQ(root->properties[2].descriptor.id, prop::AP);
  EXPECT_EQ(root->Value(prop::AP), W("GNU"));
  EXPECT_EQ(root->properties[3].descriptor.id, 0);
  EXPECT_EQ(root->properties[4].descriptor.identifier, W("YY"));
  EXPECT_EQ(root->FindProperty(0), 3);
}

TEST(SgfReaderTest, TextAroundGamesIsKept) {
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes("licence text\n(;A[1])\r\n(;b[x])(;B[2]) end"));
  ASSERT_EQ(record.games().size(), 2u);
  EXPECT_EQ(record.games()[0].leadingText, W("licence text\n"));
  EXPECT_EQ(record.games()[1].leadingText, W("\r\n(;b[x])"));
  EXPECT_EQ(record.trailingText(), W(" end"));
}

TEST(SgfReaderTest, FailedLoadKeepsEarlierGames) {
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes("(;A[1])(;B[2])tail"));
  EXPECT_FALSE(record.LoadFromBytes("nothing"));
  EXPECT_EQ(record.games().size(), 2u);
  EXPECT_EQ(record.trailingText(), W("tail"));
}

TEST(SgfReaderTest, CodePageChoice) {
  using Form = TextEncoding::Form;
  const std::string utf8Name = "\xE6\x9D\x8E";  // one CJK character
  const struct {
    std::string input;
    Form form;
  } cases[] = {
      {"(;CA[UTF-8]PB[" + utf8Name + "])", Form::Utf8},
      {"(;CA[utf-8]PB[" + utf8Name + "])", Form::Utf8},
      {"(;CA[ UTF-8 ]PB[" + utf8Name + "])", Form::Utf8},
      {"(;CA[UTF8]PB[" + utf8Name + "])", Form::SystemCodePage},
      {"(;PB[" + utf8Name + "])", Form::SystemCodePage},
      // A known charset is read byte for byte on every platform.
      {"(;CA[GB2312]PB[\xC0\xEE])", Form::Bytes},
      {"(;CA[KOI8-R]PB[\xEB\xC9\xCD])", Form::Bytes},
      // Only the first node that parses decides.
      {"(;PB[x]\r\n;CA[UTF-8])", Form::SystemCodePage},
      {"(;b[x])(;CA[UTF-8])", Form::Utf8},
      {"(;A[1])(;CA[UTF-8])", Form::SystemCodePage},
      // A byte-order mark selects UTF-8 whatever CA says.
      {"\xEF\xBB\xBF(;CA[ISO-8859-1]PB[" + utf8Name + "])", Form::Utf8},
      // A file that claims UTF-8 but is not keeps its bytes.
      {"(;CA[UTF-8]PB[\xC0\xEE])", Form::SystemCodePage},
      {"\xEF\xBB\xBF(;CA[Big5]PB[\xB3\\])", Form::Bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    GameRecord record;
    record.Reset();
    const bool loaded = record.LoadFromBytes(c.input);
    EXPECT_EQ(record.encoding().form, c.form);
    if (!test::ReadByteForByte(c.input)) continue;
    ASSERT_TRUE(loaded);
    std::string written;
    ASSERT_TRUE(record.SaveToBytes(&written));
    EXPECT_EQ(written, c.input);
  }
}

TEST(SgfReaderTest, Utf8TextIsDecodedAndTrailingTextEndsWhereTheFileEnds) {
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(
      record.LoadFromBytes("(;CA[UTF-8]PB[\xE6\x9D\x8E\xE6\x98\x8C\xE9\x8E\xAC])\xC3\xA9!"));
  EXPECT_EQ(record.RootNode()->Value(prop::PB), u"\u674E\u660C\u93AC");
  EXPECT_EQ(record.trailingText(), u"\u00E9!");
}

TEST(SgfReaderTest, Latin1TextPassesThroughByteForByte) {
  std::string input = "(;PB[";
  for (int b = 0x80; b <= 0xFF; ++b) {
    if (b != ']' && b != '\\') input += static_cast<char>(b);
  }
  input += "])";
  if (!test::ReadByteForByte(input)) GTEST_SKIP() << "a multi-byte system code page";
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes(input));
  std::string written;
  ASSERT_TRUE(record.SaveToBytes(&written));
  EXPECT_EQ(written, input);
}

}  // namespace
}  // namespace varnoket
