// SPDX-License-Identifier: MIT
// One-pass cleaning gives the very bytes that loading a record, extracting its
// game and saving the result give, over tricky grammar and real files alike.
#include "clean/clean_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "tests/support/test_support.h"

namespace varnoket {
namespace {

void ExpectSameAsRecords(std::string_view input) {
  SCOPED_TRACE(testing::Message() << "input: " << test::ShowLineBreaks(std::string(input)));
  const test::Cleaning expected = test::CleanThroughRecords(input);
  const test::Cleaning actual = test::CleanInOnePass(input);
  EXPECT_EQ(actual.status, expected.status);
  EXPECT_EQ(test::ShowLineBreaks(actual.bytes), test::ShowLineBreaks(expected.bytes));
  // Handed on in parts, it is the same bytes; nothing, when it is not cleaned.
  std::string joined;
  EXPECT_EQ(CleanRecord(input, [&joined](std::string_view part) { joined += part; }),
            actual.status);
  EXPECT_EQ(joined, actual.bytes);
}

TEST(CleanRecordTest, GivesTheBytesOfTheRecordPath) {
  const std::string inputs[] = {
      // Main line through variations, and nodes after variations.
      "(;GM[1]SZ[19];B[pd];W[dp])",
      "(;GM[1](;B[pd];W[aa])(;B[dd];W[pp]))",
      "(;B[aa](;W[bb])(;W[cc]);W[dd];B[ee])",
      "(;B[aa](;W[bb](;B[cc])(;B[dd]);B[ee])(;W[ff]);W[gg])",
      "(;B[aa](;W[bb];B[cc](;W[dd])(;W[ee]);W[ff]))",
      "(;B[aa](;W[bb](;B[cc];W[dd]))(;W[ee]))",
      "(;B[aa](;W[bb])(;W[cc](;B[dd]);B[ee]))",
      "(;;;)",
      "(;)",
      // Trees that are dropped, and what scanning finds after them.
      "(;b[aa])(;B[cc])",
      "(;b[aa](;B[cc]))",
      "()(;B[aa])",
      "(())((;B[aa]))(;W[bb])",
      "(;B[aa]",
      "(;B[aa]\\",
      "(;B[a\\",
      "(;GM[1]X)(;B[bb])",
      "(;A[1](;B[2]) x (;C[3]))(;W[cc])",
      "(;B[aa]\f;W[bb])(;B[cc])",
      "(;C[a[b]c])(;B[dd])",
      "junk (;B[aa]) between (;W[bb]) after",
      "(;B[aa])\r\n(;W[bb])",
      "",
      "no game here",
      // Moves: passes, repeats, both colours in a node, moves in the root.
      "(;B[aa]W[bb];B[cc])",
      "(;;W[aa]B[bb])",
      "(;;B[aa]B[bb])",
      "(;;B[]B[bb];W[cc])",
      "(;;B[aa];W[];B[bb];W[tt];B[])",
      "(;;W[aa];W[bb];W[cc];B[dd];B[ee])",
      "(;;B[aa]]]];W[bb][cc])",
      // Root information: order, first values, handicap, escapes, unknowns.
      "(;RE[r]KM[k]SZ[s]TM[t]OT[o]WR[w]BR[b]PB[pb]PW[pw]RU[ru]ST[st]GC[gc]GN[gn]DT[dt]PC[pc]AP[ap]"
      ")",
      "(;PB[]PB[x]PW[y][z])",
      "(;HA[2]AB[dd][pp]AB[qq];W[cc])",
      "(;AB[dd];B[aa])",
      "(;HA[]AB[dd])",
      "(;HA[3]AB[aa]][bb]\r\n[cc])",
      "(;HA[1])",
      "(;PB[a\\]b]PW[c\\\\d]GC[x\\y\\\r\nz]C[q];B[a\\]];W[\\\\])",
      "(;XX[1]GM[4]FF[3]AP[a:b]SZ[19:19]GAME[1])",
      "(; G M [1] P B [x] ;B [aa]\t;\vW\r\n[bb])",
      "(;PB[x]\\PW[y];B[aa])",
      "(;PB[x]\\",
      // Code pages.
      "(;CA[UTF-8]PB[\xC3\xA9\xE6\x9D\x8E\xF0\x9F\x98\x80];B[aa])",
      "(;CA[ utf-8\t]PB[\xC3\xA9])",
      "(;CA[UTF\\-8]PB[\xC3\xA9])",
      "(;CA[UTF-8]PB[\xFF\xC0])",
      "\xEF\xBB\xBF(;PB[\xC3\xA9])",
      "\xEF\xBB\xBF(;CA[GB2312]PB[\xC3\xA9])",
      "\xEF\xBB\xBF(;CA[]PB[\xC3\xA9])",
      "(;CA[GB2312]PB[\xC0\xEE])",
      "(;CA[ISO-8859-1]PB[\xE9])",
      "(;b[x])(;CA[UTF-8]PB[\xC3\xA9])",
      "(;PB[x];CA[UTF-8])",
      "(;CA[UTF-8]B[aa](;W[\xC3\xA9])",
      "(\xC3\xA9;CA[UTF-8]PB[\xC3\xA9])",
  };
  for (const std::string& input : inputs) ExpectSameAsRecords(input);
}

TEST(CleanRecordTest, HugeAndDeepInputs) {
  constexpr int kMoves = 1000000;
  std::string moves = "(;GM[1]";
  for (int i = 0; i < kMoves; ++i) moves += (i % 2 == 0) ? ";B[aa]" : ";W[bb]";
  moves += ")";
  std::string out;
  ASSERT_EQ(CleanRecord(moves, &out), RecordStatus::Cleaned);
  EXPECT_EQ(out.size(), std::string("(;GM[1]FF[4])").size() + kMoves * std::size_t{8});
  std::string joined;
  std::size_t largest = 0;
  ASSERT_EQ(CleanRecord(moves,
                        [&](std::string_view part) {
                          joined += part;
                          largest = std::max(largest, part.size());
                        }),
            RecordStatus::Cleaned);
  EXPECT_EQ(joined, out);
  EXPECT_EQ(largest, std::size_t{64} << 10);
  ExpectSameAsRecords(moves);

  constexpr int kDepth = 100000;
  std::string nested = "(;GM[1]";
  for (int i = 0; i < kDepth; ++i) nested += "(;B[aa]";
  nested.append(kDepth, ')');
  nested += ")";
  ExpectSameAsRecords(nested);

  std::string unclosed(200000, '(');
  unclosed += ";B[aa]";
  for (int i = 0; i < 100000; ++i) unclosed += "(;W[bb]";
  EXPECT_EQ(CleanRecord(unclosed, &out), RecordStatus::CutShort);
  EXPECT_TRUE(out.empty());
  ExpectSameAsRecords(unclosed);
}

TEST(CleanRecordTest, ARecordCutShortIsToldFromOneWithoutAGame) {
  struct Case {
    const char* input;
    RecordStatus status;
  };
  const Case cases[] = {
      {"(;GM[1];B[aa];W[bb]", RecordStatus::CutShort},
      {"(;", RecordStatus::CutShort},
      {"(;B[aa](;W[bb])(;W[cc]", RecordStatus::CutShort},
      {"(;B[aa]C[a comment", RecordStatus::CutShort},
      {"(;B[aa]\\", RecordStatus::CutShort},
      // The text of a value left open is never scanned for games.
      {"(;B[aa]C[see (;)", RecordStatus::CutShort},
      // A tree cut short after one that closed drops out; the first is kept.
      {"(;B[aa])(;W[bb]", RecordStatus::Cleaned},
      {"(;b[aa])", RecordStatus::NoGameFound},
      {"(;b[aa]) text after it", RecordStatus::NoGameFound},
      {"(", RecordStatus::NoGameFound},
      {"((", RecordStatus::NoGameFound},
      {"no game here", RecordStatus::NoGameFound},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(CleanRecord(c.input, &out), c.status) << c.input;
    ExpectSameAsRecords(c.input);
  }
}

TEST(CleanRecordTest, EveryCorpusFileGivesTheBytesOfTheRecordPath) {
  const auto corpus = test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "shared corpus not present";
  std::size_t files = 0;
  for (const auto& path : test::FilesUnder(corpus)) {
    const std::string input = test::ReadBytes(path);
    SCOPED_TRACE(path.string());
    const test::Cleaning expected = test::CleanThroughRecords(input);
    const test::Cleaning actual = test::CleanInOnePass(input);
    ASSERT_EQ(actual.status, expected.status);
    ASSERT_TRUE(actual.bytes == expected.bytes);
    ++files;
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace varnoket
