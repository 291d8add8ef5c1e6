// SPDX-License-Identifier: MIT
// Names in multi-byte charsets, whose trail bytes may be "\" or "]", come out
// of both cleaning paths byte for byte; single-byte and undeclared files read
// as they always did.
#include "sgf/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/oracle/game_record.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

const std::string kEsc = "\x1B";

TEST(CharsetTest, TrailBytesAreNeverPunctuation) {
  const struct {
    const char* charset;
    std::string name;
  } cases[] = {
      // Trail byte "\": ソ, 十; "]": ゾ, 評; a "\" trail ends the value.
      {"Shift_JIS", "\x8F\\\x92i\x83]\x95]\x83\\"},
      {" shift-jis ", "\x90\\\xE1\xC1\x83\\"},
      {"CP932", "\x83]"},
      // Big5: 許 and 功 end in "\", 孫 and 也 in "]".
      {"Big5", "\xB3\\\xAE]\xA5\\"},
      {"big5-hkscs", "\xA4]"},
      // GBK family: 淺 and 乗 end in "\", 廬 and 沒 in "]".
      {"GBK", "\x9C\\\x8F]\x81\\"},
      {"GB18030", "\x9B]\x81\x30\x81\x30"},  // and a four-byte form
      {"GB2312", "\x9C\\"},
      // Korean: trail bytes may be letters (UHC), never "\" or "]".
      {"EUC-KR",
       "\xB1\xE8\x8C"
       "c\xB9\xDA"},
      {"CP949",
       "\x8C"
       "c"},
      // EUC-JP: two-byte, half-width (0x8E) and three-byte (0x8F) forms.
      {"EUC-JP", "\xC9\xBD\x8E\xB1\x8F\xB0\xA1"},
      // ISO-2022-JP: 丸 "4]", 俑 "P\", 三 ";0", 丿 "P(", 乂 "P)", 俛 "P[" in
      // two-byte mode, then ASCII.
      {"ISO-2022-JP", kEsc + "$B4]P\\;0P(P)P[" + kEsc + "(Bok"},
      {"csISO2022JP", kEsc + "$@4]" + kEsc + "(J"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.charset);
    const std::string& n = c.name;
    const std::string input = "(;GM[1]CA[" + std::string(c.charset) + "]PB[" + n + "]PW[" + n +
                              " " + n + "]\r\n;B[pd]C[" + n + "]\r\n;W[dp])";
    test::ExpectCleaned(input, "(;GM[1]FF[4]CA[" + std::string(c.charset) + "]PW[" + n + " " + n +
                                   "]PB[" + n + "]\r\n;B[pd]\r\n;W[dp])");
    // The whole record, comment included, is written back as it was read.
    EXPECT_EQ(test::Rewritten(input), input);
  }
}

TEST(CharsetTest, EscapesOutsideMultiByteCharacters) {
  const struct {
    std::string input;
    std::string cleaned;
  } cases[] = {
      // A backslash before a two-byte character takes all of it; "\]" and
      // "\\" stay escaped; in Korean a backslash after a lead byte escapes.
      {"(;CA[SJIS]PB[a\\\x83\\\\]\\\\];B[pd])",
       "(;GM[1]FF[4]CA[SJIS]PB[a\x83\\\\]\\\\]\r\n;B[pd])"},
      {"(;CA[UHC]PB[\xB1\\]];B[pd])", "(;GM[1]FF[4]CA[UHC]PB[\xB1\\]]\r\n;B[pd])"},
      // Shift_JIS lead bytes run up to FC, not only to EF.
      {"(;CA[Shift_JIS]PB[\xFA\x5C]PW[Sato])", "(;GM[1]FF[4]CA[Shift_JIS]PW[Sato]PB[\xFA\\])"},
      // Out of two-byte mode "\]" is an escape and "]" closes the value.
      {"(;CA[ISO-2022-JP]PB[" + kEsc + "$B4]" + kEsc + "(B\\]x];B[pd])",
       "(;GM[1]FF[4]CA[ISO-2022-JP]PB[" + kEsc + "$B4]" + kEsc + "(B\\]x]\r\n;B[pd])"},
      // A run that a backslash broke is written so that it stays broken.
      {"(;CA[ISO-2022-JP]PB[" + kEsc + "\\$B\\]];B[pd])",
       "(;GM[1]FF[4]CA[ISO-2022-JP]PB[" + kEsc + "\\$B\\]]\r\n;B[pd])"},
  };
  for (const auto& c : cases) test::ExpectCleaned(c.input, c.cleaned);
}

// Files cleaned with and without an assumed charset, and cleaned files read
// again as their source was: cleaning them again changes nothing.
TEST(CharsetTest, CleanedFilesAreReadAgainAsTheirSourceWas) {
  const AssumedCharset iso2022Jp = *AssumeCharset("ISO-2022-JP");
  const AssumedCharset shiftJis = *AssumeCharset("Shift_JIS");
  const struct {
    std::string input;
    std::string cleaned;
    const AssumedCharset* assumed;
  } cases[] = {
      // The node that declares the charset lies in a tree that is dropped.
      {"(;CA[GB2312]GM[1];x)(;PB[\x83]];B[pd])", "(;GM[1]FF[4]CA[GB2312]PB[\x83]]\r\n;B[pd])",
       nullptr},
      // The kept root names a charset the file was not read in.
      {"(;GM[1];x)(;CA[Shift_JIS]PB[\x83]])", "(;GM[1]FF[4]PB[\x83])", nullptr},
      {"\xEF\xBB\xBF(;CA[Big5]PB[\xC3\xA9])", "(;GM[1]FF[4]CA[UTF-8]PB[\xC3\xA9])", nullptr},
      // The bytes that are not UTF-8 lie in a variation that is dropped; read
      // as UTF-8, the text after the game would parse as a second game.
      {std::string("\xEF\xBB\xBFp]\n(;(;B[br\x9C\x8B]);)\n;W(;B[e\x1B$Bp(") + '\0' + "p]))\n",
       "(;GM[1]FF[4]CA[ISO-2022-JP])", &iso2022Jp},
      // Single-byte files: Latin-1 "José]" and cp1251 "Ким]", whose last
      // letter is no lead byte.
      {"(;PB[Jos\xE9]PW[\xCA\xE8\xEC];B[pd])", "(;GM[1]FF[4]PW[\xCA\xE8\xEC]PB[Jos\xE9]\r\n;B[pd])",
       nullptr},
      {"(;CA[windows-1251]PW[\xCA\xE8\xEC];B[pd])",
       "(;GM[1]FF[4]CA[windows-1251]PW[\xCA\xE8\xEC]\r\n;B[pd])", nullptr},
      {"(;CA[ISO-8859-1]PB[Jos\xE9];B[pd])", "(;GM[1]FF[4]CA[ISO-8859-1]PB[Jos\xE9]\r\n;B[pd])",
       &shiftJis},
      // Without CA a Shift_JIS name is read byte by byte, as ever...
      {"(;PB[\x83\\]PW[x];B[pd])", "(;GM[1]FF[4]PB[\x83\\]PW[x]\r\n;B[pd])", nullptr},
      // ...or in the assumed charset, which the cleaned file then declares.
      {"(;PB[\x83\\]PW[x];B[pd])", "(;GM[1]FF[4]CA[Shift_JIS]PW[x]PB[\x83\\]\r\n;B[pd])",
       &shiftJis},
      {"(;CA[ ]PB[\x83\\];B[pd])", "(;GM[1]FF[4]CA[Shift_JIS]PB[\x83\\]\r\n;B[pd])", &shiftJis},
      // Well-formed UTF-8 and declared files ignore the assumed charset.
      {"(;PB[\xC3\xA9];B[pd])", "(;GM[1]FF[4]PB[\xC3\xA9]\r\n;B[pd])", &shiftJis},
      {"(;CA[UTF-8]PB[\x83\\]PW[x];B[pd])", "(;GM[1]FF[4]CA[UTF-8]PB[\x83\\]PW[x]\r\n;B[pd])",
       &shiftJis},
  };
  for (const auto& c : cases) {
    if (!test::ReadByteForByte(c.input, c.assumed)) continue;
    test::ExpectCleaned(c.input, c.cleaned, c.assumed);
    test::ExpectCleaned(c.cleaned, c.cleaned, c.assumed);
  }
}

TEST(CharsetTest, TextIsValidInAMultiByteCharsetWhenEveryHighByteBelongs) {
  using G = ByteGrouping;
  const struct {
    G grouping;
    std::string bytes;
    bool valid;
  } cases[] = {
      {G::ShiftJis, "(;PB[\x83\\\x96\x7B])", true},  // a pair with "\" as trail
      {G::ShiftJis, "\xB1\xDF", true},               // half-width katakana
      {G::ShiftJis, "\x83", false},                  // a lead byte at the end
      {G::ShiftJis, "\x83 ", false},                 // no trail byte
      {G::ShiftJis, "\xA0", false},
      {G::ShiftJis, "\xFD\x40", false},
      {G::ShiftJis, "\xEB\xB0\x95", false},  // UTF-8 Hangul
      {G::Gbk, "\xC0\xEE\x80", true},        // a pair and the euro sign
      {G::Gbk, "\x81\x30\x81\x30", false},   // GB18030's four bytes
      {G::Gbk, "\xFF\x40", false},
      {G::Big5, "\xB3\\", true},
      {G::Big5, "\xB3\x80", false},
      {G::Korean, "\xB9\xDA\x81\x41", true},
      {G::Korean, "\xB9[", false},
      {G::Single, "\xFF", true},
      {G::ShiftJis, "plain ASCII", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(IsValidIn(c.grouping, c.bytes), c.valid);
  }
}

TEST(CharsetTest, AssumedCharsetsAreKnownNames) {
  EXPECT_EQ(AssumeCharset(" windows-1251\t")->name, "windows-1251");
  EXPECT_EQ(AssumeCharset("euc-kr")->grouping, ByteGrouping::Korean);
  EXPECT_EQ(AssumeCharset("utf-8")->name, "utf-8");
  EXPECT_TRUE(AssumeCharset(" Auto ")->detect);
  EXPECT_FALSE(AssumeCharset("GBK")->detect);
  for (const char* unknown : {"", "Shift JIS", "ISO-8859-12", "latin1", "automatic"}) {
    EXPECT_FALSE(AssumeCharset(unknown)) << unknown;
  }
}

}  // namespace
}  // namespace varnoket
