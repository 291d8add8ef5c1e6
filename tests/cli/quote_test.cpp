// SPDX-License-Identifier: MIT
// How the command line's messages show names.
#include "cli/quote.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace varnoket::cli {
namespace {

constexpr bool kWindowsPaths = std::filesystem::path::preferred_separator == L'\\';

struct Case {
  std::string name;
  std::string ifNeeded;
  std::string always;
};

void ExpectQuoted(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuoteIfNeeded(c.name), c.ifNeeded);
    EXPECT_EQ(Quote(c.name), c.always);
  }
}

TEST(QuoteTest, NamesAreQuotedAsGnuToolsQuoteThemForAShell) {
  if (kWindowsPaths) GTEST_SKIP() << "Windows quotes for cmd and PowerShell";
  ExpectQuoted({
      {"games/a-1_b.2+c,d%e@f.sgf", "games/a-1_b.2+c,d%e@f.sgf", "'games/a-1_b.2+c,d%e@f.sgf'"},
      {"Партия 李昌镐.sgf", "'Партия 李昌镐.sgf'", "'Партия 李昌镐.sgf'"},
      {"Партия.sgf", "Партия.sgf", "'Партия.sgf'"},
      {"", "''", "''"},
      {"dam\377aged\n.sgf", "'dam'$'\\377''aged'$'\\n''.sgf'", "'dam'$'\\377''aged'$'\\n''.sgf'"},
      {"\n\ta", "''$'\\n\\t''a'", "''$'\\n\\t''a'"},
      {"a\x01", "'a'$'\\001'", "'a'$'\\001'"},
      {"del\x7f", "'del'$'\\177'", "'del'$'\\177'"},
      {"c1\xc2\x85", "'c1'$'\\302\\205'", "'c1'$'\\302\\205'"},
      {"cut\xe2\x82", "'cut'$'\\342\\202'", "'cut'$'\\342\\202'"},
      {"it's", "\"it's\"", "\"it's\""},
      {"it's $5", "'it'\\''s $5'", "'it'\\''s $5'"},
      {"\n'", "''$'\\n'\\'''", "''$'\\n'\\'''"},
      {"a*b?", "'a*b?'", "'a*b?'"},
      {"#1", "'#1'", "'#1'"},
      {"a#1~", "a#1~", "'a#1~'"},
      {"{", "'{'", "'{'"},
      {"{a}", "{a}", "'{a}'"},
      {"a\\b", "'a\\b'", "'a\\b'"},
      {"12:30.sgf", "'12:30.sgf'", "'12:30.sgf'"},
  });
}

TEST(QuoteTest, NamesAreQuotedAsCmdAndPowerShellReadThemOnWindows) {
  if (!kWindowsPaths) GTEST_SKIP() << "a POSIX shell's quoting";
  ExpectQuoted({
      {"C:\\Games\\a-1_b.2+c~d.sgf", "C:\\Games\\a-1_b.2+c~d.sgf",
       "\"C:\\Games\\a-1_b.2+c~d.sgf\""},
      {"Z:\\棋譜 ソース\\x.sgf", "\"Z:\\棋譜 ソース\\x.sgf\"", "\"Z:\\棋譜 ソース\\x.sgf\""},
      {"Партия.sgf", "Партия.sgf", "\"Партия.sgf\""},
      {"", "\"\"", "\"\""},
      {"it's", "\"it's\"", "\"it's\""},
      {"a&b|c", "\"a&b|c\"", "\"a&b|c\""},
      {"$5 `x`", "\"`$5 ``x``\"", "\"`$5 ``x``\""},
      {"say \"hi\"", "\"say `\"hi`\"\"", "\"say `\"hi`\"\""},
      {"game#1@2.sgf", "game#1@2.sgf", "\"game#1@2.sgf\""},
      {"#1", "\"#1\"", "\"#1\""},
      {"dam\naged\t.sgf", "\"dam`naged`t.sgf\"", "\"dam`naged`t.sgf\""},
      {"a\x01\x1b", "\"a`u{1}`u{1B}\"", "\"a`u{1}`u{1B}\""},
      {"del\x7f", "\"del`u{7F}\"", "\"del`u{7F}\""},
      {"c1\xc2\x85", "\"c1`u{85}\"", "\"c1`u{85}\""},
      {"cut\xe2\x82", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\"", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\""},
  });
}

}  // namespace
}  // namespace varnoket::cli
