// SPDX-License-Identifier: MIT
// Cutting a stream into games, fed in blocks of every size that matters.
#include "sgf/game_splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text_codec.h"

namespace varnoket {
namespace {

// The texts of the games of "stream" fed "block" bytes at a time; a game
// passed over as too long is "<too large>".
std::vector<std::string> Split(const std::string& stream, std::size_t block,
                               const AssumedCharset* assumed = nullptr,
                               std::size_t maxGameBytes = 1 << 20,
                               unsigned codePage = platform::SystemCodePage()) {
  GameSplitter splitter(assumed, codePage, maxGameBytes);
  std::vector<std::string> games;
  SplitGame game;
  const auto take = [&] {
    while (splitter.Next(&game)) {
      EXPECT_EQ(game.number, games.size() + 1);
      games.push_back(game.tooLarge ? "<too large>" : std::string(game.text));
    }
  };
  for (std::size_t at = 0; at < stream.size(); at += block) {
    splitter.Append(std::string_view(stream).substr(at, block));
    take();
  }
  splitter.Finish();
  take();
  return games;
}

TEST(GameSplitterTest, CutsGamesWhereTheNextOneBegins) {
  struct Case {
    const char* what;
    std::string stream;
    std::vector<std::string> games;
  };
  const std::vector<Case> cases = {
      {"one game is the whole stream",
       "junk\n(;GM[1];B[aa])\ntrailer",
       {"junk\n(;GM[1];B[aa])\ntrailer"}},
      {"two games", "(;B[aa])\n(;W[bb])\n", {"(;B[aa])\n", "(;W[bb])\n"}},
      {"a paren that opens no node is text",
       "(c) 2001 (;B[aa]) (x) (;W[bb])",
       {"(c) 2001 (;B[aa]) (x) ", "(;W[bb])"}},
      {"punctuation inside values",
       "(;C[(;B[aa]) \\] )];B[cc])(;W[dd])",
       {"(;C[(;B[aa]) \\] )];B[cc])", "(;W[dd])"}},
      {"games nested under a common root",
       "(;GM[1](;GM[1];B[aa])(;GM[1];B[bb]))",
       {"(;GM[1](;GM[1];B[aa])(;GM[1];B[bb]))"}},
      {"a game that never closes ends where the next begins",
       "(;GM[1];B[aa](;W[bb]\n(;GM[1];B[cc])\n(; FF [4];B[dd])",
       {"(;GM[1];B[aa](;W[bb]\n", "(;GM[1];B[cc])\n", "(; FF [4];B[dd])"}},
      {"a first node that never closes ends where the next game begins",
       "(;GM[1]PB[x]\n(;GM[1];B[aa])\n(;GM[1];B[bb])",
       {"(;GM[1]PB[x]\n", "(;GM[1];B[aa])\n", "(;GM[1];B[bb])"}},
      {"a variation is no new game",
       "(;GM[1];B[aa](;W[bb])(;C[x]GM[1]))",
       {"(;GM[1];B[aa](;W[bb])(;C[x]GM[1]))"}},
      {"a trail byte of the declared charset is no bracket",
       "(;CA[Shift_JIS]PB[\x8D])(;B[aa]];B[cc])(;W[dd])",
       {"(;CA[Shift_JIS]PB[\x8D])(;B[aa]];B[cc])", "(;W[dd])"}},
      {"a game cut short at the end", "(;B[aa])(;W[bb];B[c", {"(;B[aa])", "(;W[bb];B[c"}},
      {"no game", "no game here (at all)", {}},
      {"a stream that begins with ';' begins with a game",
       " \n;GM[1];B[aa](;W[bb])(;W[cc])\n(;GM[1];B[dd])",
       {" \n;GM[1];B[aa](;W[bb])(;W[cc])\n", "(;GM[1];B[dd])"}},
      {"one that begins with ';' and no '(' at all", ";B[aa];W[bb])", {";B[aa];W[bb])"}},
  };
  for (const Case& c : cases) {
    for (const std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
      SCOPED_TRACE(std::string(c.what) + ", blocks of " + std::to_string(block));
      EXPECT_EQ(Split(c.stream, block), c.games);
    }
  }
}

TEST(GameSplitterTest, AssumedCharsetGroupsGamesThatNameNone) {
  const AssumedCharset shiftJis{"Shift_JIS", ByteGrouping::ShiftJis};
  const std::string stream = "(;PB[\x8D])(;B[aa]])(;W[bb])";
  EXPECT_EQ(Split(stream, 2, &shiftJis),
            (std::vector<std::string>{"(;PB[\x8D])(;B[aa]])", "(;W[bb])"}));
  EXPECT_EQ(Split(stream, 2), (std::vector<std::string>{"(;PB[\x8D])", "(;B[aa]])", "(;W[bb])"}));
}

// A game that names no charset is cut as the system code page reads it: on a
// Japanese or Chinese Windows a second byte "\\" does not escape the "]".
TEST(GameSplitterTest, GamesThatNameNoCharsetAreCutInTheSystemCodePage) {
  // Read byte for byte, each "\\]" is an escaped "]": the first value would
  // run on past the longest game taken, and swallow every game.
  const std::string game = "(;PB[\x83\\];B[aa])\n";
  std::string stream;
  for (int i = 0; i < 10; ++i) stream += game;
  for (const unsigned codePage : {932u, 936u}) {
    SCOPED_TRACE(codePage);
    EXPECT_EQ(Split(stream, 3, nullptr, 4 * game.size(), codePage),
              std::vector<std::string>(10, game));
  }
}

// Found by the fuzzer: an ISO-2022-JP escape sequence that a block ends inside
// ("ESC (" now, "B" later) is one character all the same, so the games are
// cut where they are cut when the stream comes whole.
TEST(GameSplitterTest, AnEscapeSequenceCutBetweenBlocksIsOneCharacter) {
  const AssumedCharset iso2022{"ISO-2022-JP", ByteGrouping::Iso2022Jp};
  const std::string stream(
      "(;\xEF\xBB\xBF(;\xECM\x1B(B[1]FF[4])\xC2(;)111];11(;GM[1]F\x16[4]SZ["
      "19]\x8BzHA111111111111111\xEF\xBB\xBFGM \x00\x00\x00\x00\x00\x00\x00"
      "[\xE6\x9D\x8E\xE6\x98\x8C(\x8E\xAC];B[[(;\xEC]aaM[1]F[4]AB[dd:eFe[41"
      "2]111B[pp][a;W0a])\xAF[a])]",
      147);
  const std::vector<std::string> whole = Split(stream, stream.size(), &iso2022);
  EXPECT_EQ(whole.size(), 2u);
  for (const std::size_t block : {std::size_t{1}, std::size_t{2}, std::size_t{5}}) {
    SCOPED_TRACE(block);
    EXPECT_EQ(Split(stream, block, &iso2022), whole);
  }
}

TEST(GameSplitterTest, AGameLongerThanTheLimitIsPassedOverWithBoundedMemory) {
  const std::string longGame = "(;GM[1]C[" + std::string(10000, 'x') + "];B[aa])";
  const std::string stream = "(;B[aa])" + longGame + "(;W[bb])";
  EXPECT_EQ(Split(stream, 64, nullptr, 1000),
            (std::vector<std::string>{"(;B[aa])", "<too large>", "(;W[bb])"}));

  GameSplitter splitter(nullptr, platform::SystemCodePage(), 1000);
  SplitGame game;
  std::size_t held = 0;
  for (std::size_t at = 0; at < stream.size(); at += 64) {
    splitter.Append(std::string_view(stream).substr(at, 64));
    held = std::max(held, splitter.heldBytes());
    while (splitter.Next(&game)) {
    }
  }
  EXPECT_LE(held, 1000u + 2 * 64u);
}

TEST(GameSplitterTest, ManyGamesHoldNoMoreThanOneAtATime) {
  const std::string oneGame = "(;GM[1]FF[4]SZ[19];B[pd];W[dp];B[pp];W[dd])\n";
  GameSplitter splitter(nullptr, platform::SystemCodePage(), 1 << 20);
  SplitGame game;
  std::uint64_t games = 0;
  std::size_t held = 0;
  std::string block;
  for (int i = 0; i < 100; ++i) block += oneGame;
  for (int round = 0; round < 1000; ++round) {  // 100,000 games, 4.4 MB
    splitter.Append(block);
    held = std::max(held, splitter.heldBytes());
    while (splitter.Next(&game)) {
      ASSERT_EQ(game.text, oneGame);
      ++games;
    }
  }
  splitter.Finish();
  while (splitter.Next(&game)) ++games;
  EXPECT_EQ(games, 100000u);
  EXPECT_LE(held, 3 * block.size());
}

}  // namespace
}  // namespace varnoket
