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

TEST(QuoteTest, NamesAreQuotedAsGnuToolsQuoteThemForAShell) {
  struct Case {
    std::string name;
    std::string ifNeeded;
    std::string always;
  };
  const std::vector<Case> cases = {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuoteIfNeeded(c.name), c.ifNeeded);
    EXPECT_EQ(Quote(c.name), c.always);
  }
}

TEST(QuoteTest, SeparatorsAndColonsFollowThePlatform) {
  if (kWindowsPaths) {
    EXPECT_EQ(QuoteIfNeeded("C:\\Games\\a.sgf"), "C:\\Games\\a.sgf");
  } else {
    EXPECT_EQ(QuoteIfNeeded("a\\b"), "'a\\b'");
    EXPECT_EQ(QuoteIfNeeded("12:30.sgf"), "'12:30.sgf'");
  }
}

}  // namespace
}  // namespace varnoket::cli
