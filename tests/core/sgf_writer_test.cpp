// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

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

}  // namespace
}  // namespace varnoket
