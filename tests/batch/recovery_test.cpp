// SPDX-License-Identifier: MIT
// Records a person could read come out: those the grammar reads once it is
// told where their tree begins (by default), and damaged or old ones that
// --recover mends, each mend named; one stays refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "batch/collection.h"
#include "platform/byte_source.h"

namespace varnoket {
namespace {

// Gives a text "block" bytes at a time.
class TextSource : public platform::ByteSource {
 public:
  TextSource(std::string_view text, std::size_t block) : text_(text), block_(block) {}
  platform::IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = std::min({capacity, block_, text_.size()});
    std::copy_n(text_.data(), *got, buffer);
    text_.remove_prefix(*got);
    return platform::IoStatus::Ok();
  }

 private:
  std::string_view text_;
  std::size_t block_;
};

class Kept : public CollectionOutput {
 public:
  void Own(std::string_view bytes) override { text += bytes; }
  void Numbered(std::uint64_t, std::string*) override { ADD_FAILURE() << "no numbered game"; }
  std::string text;
};

// What cleaning "input" came to: the cleaned text, "<no game found>" or
// "<cut short>", then the note on what was mended, if any.
std::string Clean(std::string_view input, bool recover, std::size_t block) {
  TextSource source(input, block);
  Kept kept;
  CollectionOptions options;
  options.recover = recover;
  const CollectionResult result = CleanCollection(source, options, kept);
  if (!result.ok) {
    return result.reason == FailureReason::CutShort ? "<cut short>" : "<no game found>";
  }
  std::string shown = kept.text;
  if (result.repairs.any()) {
    shown += ' ';
    shown += RecoveredNote(result.repairs);
  }
  return shown;
}

// "text" in UTF-16 after "mark", little-endian unless "big".
std::string Utf16(std::u16string_view text, bool big, std::string_view mark = {}) {
  std::string bytes(mark);
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST(RecoveryTest, ReadsWhatAPersonCouldReadAndNamesEachMend) {
  struct Case {
    const char* what;
    std::string input;
    std::string byDefault;
    std::string recovered;
  };
  const std::string game = "(;GM[1]FF[4]PB[x]\r\n;B[aa]\r\n;W[bb])";
  const std::string utf8Game = "(;GM[1]FF[4]CA[UTF-8]PB[x]\r\n;B[aa]\r\n;W[bb])";
  const std::vector<Case> cases = {
      {"a record that begins with ';' is a tree, its variations variations",
       ";PB[x];B[aa](;W[bb])(;W[cc]))", game, game},
      {"a record that begins with ';' and has no variation, after a mark",
       "\xEF\xBB\xBF \r\n;PB[x];B[aa];W[bb]", utf8Game, utf8Game},
      {"UTF-16 little-endian with its mark", Utf16(u"(;PB[x];B[aa];W[bb])", false, "\xFF\xFE"),
       utf8Game, utf8Game},
      {"UTF-16 big-endian with its mark, a surrogate pair and half a unit",
       Utf16(u"(;PB[x\U0001D11E];B[aa];W[bb])", true, "\xFE\xFF") + "\n",
       "(;GM[1]FF[4]CA[UTF-8]PB[x\xF0\x9D\x84\x9E]\r\n;B[aa]\r\n;W[bb])",
       "(;GM[1]FF[4]CA[UTF-8]PB[x\xF0\x9D\x84\x9E]\r\n;B[aa]\r\n;W[bb])"},
      {"UTF-16 without a mark", Utf16(u" (;PB[x];B[aa];W[bb])", true), "<no game found>",
       utf8Game + " recovered: UTF-16 without a byte-order mark"},
      {"lower-case letters in property names",
       "(;FF[3]PlayerBlack[x]AddBlack[aa][bb]HA[2]copyright[c];Black[cc])", "<no game found>",
       "(;GM[1]FF[4]PB[x]HA[2]AB[aa][bb]\r\n;B[cc]) recovered: lower-case property names"},
      {"stray bytes between nodes and properties",
       std::string("(;PB[x]\0#;B[aa]\x1A[stray];W[bb]\xFF\x7F)", 32), "<no game found>",
       game + " recovered: stray bytes skipped"},
      {"a '(' without ';'", "(PB[x];B[aa](W[bb])(W[cc]))", "<no game found>",
       game + " recovered: '(' without ';'"},
      {"a record cut short", "(;PB[x];B[aa];W[bb](;B[cc]", "<cut short>",
       "(;GM[1]FF[4]PB[x]\r\n;B[aa]\r\n;W[bb]\r\n;B[cc]) recovered: cut short after move 3"},
      {"cut short inside a value", "(;PB[x];B[aa];W[bb];B[c", "<cut short>",
       game + " recovered: cut short after move 2"},
      {"several mends at once", "(\nPlayerBlack[x] ;B[aa]#;W[bb]", "<no game found>",
       game + " recovered: lower-case property names, '(' without ';', stray bytes skipped, cut "
              "short after move 2"},
      {"text in parentheses before a game mends nothing", "(see below) (;PB[x];B[aa];W[bb])", game,
       game},
      {"text in parentheses is still no game", "(c) 2001, no game here", "<no game found>",
       "<no game found>"},
  };
  for (const Case& c : cases) {
    for (const std::size_t block : {std::size_t{1}, std::size_t{4096}}) {
      SCOPED_TRACE(std::string(c.what) + ", blocks of " + std::to_string(block));
      EXPECT_EQ(Clean(c.input, false, block), c.byDefault);
      const std::string recovered = Clean(c.input, true, block);
      EXPECT_EQ(recovered, c.recovered);
      // What recovery writes reads back as it is, without recovery.
      const std::string cleaned = recovered.substr(0, recovered.find(" recovered: "));
      if (!cleaned.starts_with("<")) {
        EXPECT_EQ(Clean(cleaned, false, block), cleaned);
      }
    }
  }
}

}  // namespace
}  // namespace varnoket
