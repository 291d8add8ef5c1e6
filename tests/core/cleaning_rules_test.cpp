// SPDX-License-Identifier: MIT
// The cleaning rules, as the program applies them (CleanRecord) and as the
// record path states them (the test oracle): both must give these bytes.
#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/extract_game.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

TEST(CleaningRulesTest, WhatSurvivesAndInWhatOrder) {
  const struct {
    const char* name;
    std::string input;
    std::string cleaned;
  } cases[] = {
      {"no game tree, no game", "garbage", ""},
      {"the layout of the writer, passes dropped and put back",
       "(;GM[1]FF[4]GN[Cup \\]final]PW[Bob]PB[Ann]SZ[19]KM[6.5];B[pd];W[dp];B[pp];W[];B[dd])",
       "(;GM[1]FF[4]GN[Cup \\]final]PW[Bob]PB[Ann]SZ[19]KM[6.5]|;B[pd]|;W[dp]|;B[pp]|;W[]|;B[dd])"},
      {"game information in table order",
       "(;PB[Ann]PW[Bob]DT[2020]EV[Cup]C[hello]SZ[19]KM[6.5]RE[B+R]AP[x:1]GM[3]FF[3])",
       "(;GM[1]FF[4]AP[x:1]DT[2020]PW[Bob]PB[Ann]SZ[19]KM[6.5]RE[B+R])"},
      {"all sixteen rows",
       "(;RE[r]KM[k]SZ[s]TM[t]OT[o]WR[w]BR[b]PB[pb]PW[pw]RU[ru]ST[st]GC[gc]GN[gn]DT[dt]"
       "PC[pc]AP[ap])",
       "(;GM[1]FF[4]AP[ap]PC[pc]DT[dt]GN[gn]GC[gc]ST[st]RU[ru]PW[pw]PB[pb]BR[b]WR[w]OT[o]TM[t]SZ[s]"
       "KM[k]RE[r])"},
      {"empty first value is not copied; only the first value is", "(;PB[]PW[a][b])",
       "(;GM[1]FF[4]PW[a])"},
      {"handicap with stones", "(;HA[2]AB[dd][pp]AB[jj]RE[W+1];W[qd])",
       "(;GM[1]FF[4]RE[W+1]HA[2]AB[dd][pp]|;W[qd])"},
      {"stones without handicap are dropped", "(;AB[dd][pp];W[qd])", "(;GM[1]FF[4]|;W[qd])"},
      {"handicap without stones", "(;HA[2];W[qd])", "(;GM[1]FF[4]HA[2]|;W[qd])"},
      {"two black moves get a white pass", "(;;B[aa];B[bb])", "(;GM[1]FF[4]|;B[aa]|;W[]|;B[bb])"},
      {"two white moves get a black pass", "(;;W[aa];W[bb])", "(;GM[1]FF[4]|;W[aa]|;B[]|;W[bb])"},
      {"source passes are dropped and reinserted", "(;;B[aa];W[];B[bb];W[tt];B[])",
       "(;GM[1]FF[4]|;B[aa]|;W[]|;B[bb]|;W[tt])"},
      {"a node with both moves gives two nodes, black first", "(;;W[aa]B[bb])",
       "(;GM[1]FF[4]|;B[bb]|;W[aa])"},
      {"a move in the root survives", "(;B[aa];W[bb])", "(;GM[1]FF[4]|;B[aa]|;W[bb])"},
      {"only the first variation", "(;GM[1](;B[aa];W[bb])(;B[cc]))", "(;GM[1]FF[4]|;B[aa]|;W[bb])"},
      {"a node after variations continues the main line",
       "(;B[aa](;W[bb](;B[cc])(;B[dd]);B[ee])(;W[ff]);W[gg])", "(;GM[1]FF[4]|;B[aa]|;W[gg])"},
      {"only the first game", "(;PB[x];B[aa])(;PB[y];B[bb])", "(;GM[1]FF[4]PB[x]|;B[aa])"},
      {"markup, comments, timing and unknowns are dropped",
       "(;ZZ[1]N[n];B[aa]C[c]BL[30]LB[aa:1]TR[bb]XX[y];W[bb]MN[5]AE[aa])",
       "(;GM[1]FF[4]|;B[aa]|;W[bb])"},
      {"only the first value of the first move property", "(;;B[aa][bb]B[cc])",
       "(;GM[1]FF[4]|;B[aa])"},
      {"values are copied as read and escaped on writing", "(;PB[a\\]b]GC[x\\\\y])",
       "(;GM[1]FF[4]GC[x\\\\y]PB[a\\]b])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ExpectCleaned(c.input, c.cleaned);
  }
}

TEST(CleaningRulesTest, CharacterSetTravelsWithTheText) {
  const std::string cjk = "\xE6\x9D\x8E";
  const struct {
    const char* name;
    std::string input;
    std::string cleaned;
  } cases[] = {
      {"UTF-8 names stay UTF-8", "(;CA[UTF-8]PB[" + cjk + "])",
       "(;GM[1]FF[4]CA[UTF-8]PB[" + cjk + "])"},
      {"the label is kept as written", "(;CA[utf-8]PB[" + cjk + "])",
       "(;GM[1]FF[4]CA[utf-8]PB[" + cjk + "])"},
      {"an 8-bit label and its bytes pass through", "(;CA[GB2312]PB[\xC0\xEE])",
       "(;GM[1]FF[4]CA[GB2312]PB[\xC0\xEE])"},
      {"no label, 8-bit bytes pass through", "(;PB[\xC8\xE2\xE0\xED])",
       "(;GM[1]FF[4]PB[\xC8\xE2\xE0\xED])"},
      {"a byte-order mark without label gets one", "\xEF\xBB\xBF(;PB[" + cjk + "])",
       "(;GM[1]FF[4]CA[UTF-8]PB[" + cjk + "])"},
      {"a byte-order mark overrides a wrong label", "\xEF\xBB\xBF(;CA[ISO-8859-1]PB[" + cjk + "])",
       "(;GM[1]FF[4]CA[UTF-8]PB[" + cjk + "])"},
      {"a false UTF-8 label keeps the bytes", "(;CA[UTF-8]PB[\xC0\xEE])",
       "(;GM[1]FF[4]CA[UTF-8]PB[\xC0\xEE])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (test::ReadByteForByte(c.input)) test::ExpectCleaned(c.input, c.cleaned);
  }
}

TEST(CleaningRulesTest, CleaningIsIdempotent) {
  const test::Cleaning once =
      test::CleanInOnePass("(;CA[UTF-8]HA[2]AB[aa][bb]PB[x];W[cc];W[dd]C[x](;B[ee])(;B[ff]))");
  ASSERT_EQ(once.status, RecordStatus::Cleaned);
  EXPECT_EQ(test::CleanInOnePass(once.bytes), once);
}

// The oracle builds its record as the model's operations build one.
TEST(CleaningRulesTest, TheRecordPathBuildsOneChainWithTheCurrentNodeAtItsEnd) {
  GameRecord source;
  source.Reset();
  ASSERT_TRUE(source.LoadFromBytes("(;;B[aa];B[bb];W[cc])"));
  GameRecord destination;
  destination.Reset();
  ExtractGame(source, destination);
  int nodes = 0;
  for (const GameNode* n = destination.RootNode(); n != nullptr; n = n->firstChild) {
    EXPECT_EQ(n->nextSibling, nullptr);
    ++nodes;
    if (n->firstChild == nullptr) {
      EXPECT_EQ(n, destination.CurrentNode());
    }
  }
  EXPECT_EQ(nodes, 5);
  EXPECT_EQ(destination.games()[0].moveNumber, 4);
}

}  // namespace
}  // namespace varnoket
