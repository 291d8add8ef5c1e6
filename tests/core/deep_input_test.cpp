// SPDX-License-Identifier: MIT
// Inputs far larger or deeper than real games: nothing may recurse per node or
// nesting level, and nothing may crash. CleanRecordTest cleans a million-move
// main line and unclosed nesting both ways.
#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

// The record path itself on trees that CleanRecordTest also cleans through
// it: 100,000 nested variations, each an only child and so written as a
// plain sequence, and 50,000 levels of two variations each.
TEST(DeepInputTest, DeepTreesRoundTrip) {
  constexpr int kDepth = 50000;
  std::string nested = "(;GM[1]";
  for (int i = 0; i < 2 * kDepth; ++i) nested += "(;B[aa]";
  nested.append(2 * kDepth, ')');
  nested += ")";
  std::string branching = "(;GM[1]";
  for (int i = 0; i < kDepth; ++i) branching += "(;W[cc])(;B[aa]";
  branching.append(kDepth, ')');
  branching += ")";
  for (const std::string* input : {&nested, &branching}) {
    bool loaded = false;
    const std::string written = test::Rewritten(*input, &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(test::Rewritten(written, &loaded), written);
    EXPECT_TRUE(loaded);
  }
}

}  // namespace
}  // namespace varnoket
