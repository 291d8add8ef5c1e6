// SPDX-License-Identifier: MIT
// Inputs far larger or deeper than real games: nothing may recurse per node or
// nesting level, and nothing may crash.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "tests/oracle/extract_game.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

TEST(DeepInputTest, MillionMoveMainLineLoadsCleansSavesAndFrees) {
  constexpr int kMoves = 1000000;
  std::string input = "(;GM[1]";
  input.reserve(static_cast<std::size_t>(kMoves) * 6 + 16);
  for (int i = 0; i < kMoves; ++i) input += (i % 2 == 0) ? ";B[aa]" : ";W[bb]";
  input += ")";
  std::string written;
  {
    GameRecord source;
    source.Reset();
    ASSERT_TRUE(source.LoadFromBytes(input));
    GameRecord destination;
    destination.Reset();
    ExtractGame(source, destination);
    ASSERT_TRUE(destination.SaveToBytes(&written));
    EXPECT_EQ(destination.games()[0].moveNumber, kMoves);
  }
  EXPECT_EQ(written.size(), std::string("(;GM[1]FF[4])").size() + kMoves * std::size_t{8});
}

TEST(DeepInputTest, HundredThousandNestedVariations) {
  constexpr int kDepth = 100000;
  std::string input;
  input.reserve(kDepth * 9 + 8);
  input += "(;GM[1]";
  for (int i = 0; i < kDepth; ++i) input += "(;B[aa]";
  input.append(kDepth, ')');
  input += ")";
  GameRecord record;
  record.Reset();
  ASSERT_TRUE(record.LoadFromBytes(input));
  // Each variation is an only child, so it is written as a plain sequence.
  bool loaded = false;
  const std::string written = test::Rewritten(input);
  EXPECT_EQ(test::Rewritten(written, &loaded), written);
  EXPECT_TRUE(loaded);
  GameRecord cleaned;
  cleaned.Reset();
  ExtractGame(record, cleaned);
  EXPECT_EQ(cleaned.games()[0].moveNumber, 2 * kDepth - 1);  // passes between
}

TEST(DeepInputTest, DeepBranchingTreeRoundTrips) {
  // Every level has two variations; the first continues deeper.
  constexpr int kDepth = 50000;
  std::string input = "(;GM[1]";
  for (int i = 0; i < kDepth; ++i) input += "(;W[cc])(;B[aa]";
  for (int i = 0; i < kDepth; ++i) input += ")";
  input += ")";
  bool loaded = false;
  const std::string written = test::Rewritten(input, &loaded);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(test::Rewritten(written, &loaded), written);
  EXPECT_TRUE(loaded);
}

TEST(DeepInputTest, UnclosedNestingIsDroppedWithoutCrashing) {
  std::string input(200000, '(');
  input += ";B[aa]";
  for (int i = 0; i < 100000; ++i) input += "(;W[bb]";
  GameRecord record;
  record.Reset();
  EXPECT_FALSE(record.LoadFromBytes(input));
}

TEST(DeepInputTest, FileTooLargeToHoldIsRefused) {
  test::TempFolder folder;
  const auto path = folder / "huge.sgf";
  test::WriteBytes(path, "(;GM[1])");
  std::error_code error;
  std::filesystem::resize_file(path, platform::kMaxReadableFileSize + 1, error);
  if (error) GTEST_SKIP() << "cannot create a sparse file here: " << error.message();
  GameRecord record;
  record.Reset();
  EXPECT_FALSE(record.Load(path));
  EXPECT_EQ(record.games().size(), 1u);
}

}  // namespace
}  // namespace varnoket
