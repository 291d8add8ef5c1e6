// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "sgf/utf8.h"

namespace varnoket::platform {
namespace {

TEST(TextCodecTest, Utf8Decoding) {
  const struct {
    const char* name;
    std::string bytes;
    std::u16string text;
    bool wellFormed;
  } cases[] = {
      {"ascii", "abc", u"abc", true},
      {"two, three and four bytes", "\xC3\xA9\xE6\x9D\x8E\xF0\x9F\x98\x80",
       u"\u00E9\u674E\U0001F600", true},
      {"lone continuation", "a\x80z", u"a\uFFFDz", false},
      {"truncated sequence at the end", "a\xE6\x9D", u"a\uFFFD", false},
      {"truncated sequence before ascii", "\xE6\x9Dz", u"\uFFFDz", false},
      {"overlong form", "\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"surrogate code point", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"invalid lead byte", "\xFF", u"\uFFFD", false},
      {"gbk bytes", "\xC0\xEE", u"\uFFFD\uFFFD", false},
      {"after a long ascii run", "(;PB[abcdefgh\xC3\xA9])", u"(;PB[abcdefgh\u00E9])", true},
      {"broken after a long ascii run", "(;PB[abcdefgh\xC3])", u"(;PB[abcdefgh\uFFFD])", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text;
    EXPECT_EQ(DecodeUtf8(c.bytes, &text), c.wellFormed);
    EXPECT_EQ(IsWellFormedUtf8(c.bytes), c.wellFormed);
    EXPECT_EQ(text, c.text);
  }
}

TEST(TextCodecTest, Utf8EncodingRoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"a\u00E9\u674E\U0001F600";
  std::string bytes;
  AppendUtf8(text, &bytes);
  std::u16string back;
  EXPECT_TRUE(DecodeUtf8(bytes, &back));
  EXPECT_EQ(back, text);

  bytes.clear();
  AppendUtf8(std::u16string(1, u'\xD800') + u"x", &bytes);
  EXPECT_EQ(bytes, "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace varnoket::platform
