// SPDX-License-Identifier: MIT
// Round trips over the shared corpus of real SGF files.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_codec.h"
#include "sgf/charset.h"
#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

// Compares two trees node by node without recursion; returns a description of
// the first difference, or an empty string.
std::string FirstDifference(const GameNode* a, const GameNode* b) {
  std::vector<std::pair<const GameNode*, const GameNode*>> pending{{a, b}};
  while (!pending.empty()) {
    const auto [x, y] = pending.back();
    pending.pop_back();
    if ((x == nullptr) != (y == nullptr)) return "shape differs";
    if (x == nullptr) continue;
    if (x->properties.size() != y->properties.size()) return "property count differs";
    for (std::size_t i = 0; i < x->properties.size(); ++i) {
      const NodeProperty& p = x->properties[i];
      const NodeProperty& q = y->properties[i];
      if (!(p.descriptor == q.descriptor))
        return "descriptor differs: " + test::Utf8(p.descriptor.identifier);
      if (p.values != q.values) return "values differ in " + test::Utf8(p.descriptor.identifier);
    }
    if ((x->mainChild == x->firstChild) != (y->mainChild == y->firstChild))
      return "main child differs";
    if (x->hasMove != y->hasMove || x->hasSetup != y->hasSetup || x->hasRoot != y->hasRoot ||
        x->hasGameInfo != y->hasGameInfo) {
      return "flags differ";
    }
    pending.emplace_back(x->nextSibling, y->nextSibling);
    pending.emplace_back(x->firstChild, y->firstChild);
  }
  return {};
}

TEST(CorpusTest, EveryLoadedFileRoundTripsAndCleaningIsStable) {
  const auto corpus = test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "shared corpus not present";
  std::size_t files = 0;
  std::size_t loaded = 0;
  std::size_t roundTripped = 0;
  for (const auto& path : test::FilesUnder(corpus)) {
    const std::string ext = path.extension().string();
    if (ext != ".sgf" && ext != ".SGF") continue;
    ++files;
    SCOPED_TRACE(path.string());
    const std::string input = test::ReadBytes(path);
    GameRecord record;
    record.Reset();
    if (!record.LoadFromBytes(input)) continue;
    ++loaded;
    std::string written;
    ASSERT_TRUE(record.SaveToBytes(&written));
    GameRecord again;
    again.Reset();
    ASSERT_TRUE(again.LoadFromBytes(written));
    ASSERT_EQ(again.systemCodePage(), record.systemCodePage());
    ASSERT_EQ(again.games().size(), record.games().size());
    for (std::size_t g = 0; g < record.games().size(); ++g) {
      ASSERT_EQ(again.games()[g].leadingText, record.games()[g].leadingText);
      const std::string difference = FirstDifference(record.games()[g].root, again.games()[g].root);
      ASSERT_EQ(difference, "") << "game " << g;
    }
    ASSERT_EQ(again.trailingText(), record.trailingText());
    const test::Cleaning once = test::CleanInOnePass(input);
    test::Cleaning twice = test::CleanInOnePass(once.bytes);
    if (test::ReadByteForByte(input) && !test::ReadByteForByte(once.bytes)) {
      // In a multi-byte system code page: the bytes that did not fit it were
      // dropped, so the cleaned file is read in it and only gains its label.
      const std::string label =
          "CA[" + std::string(CodePageCharset(platform::SystemCodePage())->name) + "]";
      const std::size_t at = twice.bytes.find(label);
      ASSERT_NE(at, std::string::npos);
      twice.bytes.erase(at, label.size());
    }
    ASSERT_EQ(twice, once);
    ++roundTripped;
  }
  std::printf("corpus: %zu files, %zu loaded, %zu round-tripped\n", files, loaded, roundTripped);
  EXPECT_GT(loaded, files * 9 / 10);
  EXPECT_EQ(roundTripped, loaded);
}

}  // namespace
}  // namespace varnoket
