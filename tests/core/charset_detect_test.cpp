// SPDX-License-Identifier: MIT
// Charset detection for records that declare none: short hard cases, and the
// accuracy over the corpus's own UTF-8 Chinese, Japanese and Korean records
// re-encoded into the legacy charsets they fit (tests/oracle/charset_samples.h).
#include "sgf/charset_detect.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "clean/clean_record.h"
#include "platform/text_codec.h"
#include "sgf/utf8.h"
#include "tests/oracle/charset_samples.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

// What cleaning "input" under --charset auto decided: the charset, "" when
// undecided, "-" when detection did not apply.
std::string Decision(std::string_view input) {
  const AssumedCharset automatic = *AssumeCharset("auto");
  std::string out;
  CharsetDetection detection;
  CleanRecord(input, &out, &automatic, &detection);
  return detection.tried ? detection.charset : "-";
}

std::string Record(std::string_view root) {
  return "(;GM[1]FF[4]" + std::string(root) + "SZ[19];B[pd];W[dp])";
}

TEST(CharsetDetectTest, ShortHardCases) {
  const struct {
    const char* what;
    std::string input;
    const char* decided;
  } cases[] = {
      // 谢赫 in GBK: one two-character name, with its rank 9段.
      {"two-character GBK name", Record("PB[\xD0\xBB\xBA\xD5]BR[9\xB6\xCE]"), "GBK"},
      // 廖行: GBK whose bytes are also small KOI8-R letters.
      {"GBK name in Cyrillic letters", Record("PB[\xC1\xCE\xD0\xD0]"), ""},
      // 曹薰鉉 and 李昌鎬 in Big5, which are also valid GBK.
      {"Big5 names also valid in GBK",
       Record("PB[\xB1\xE4\xC2\xC8\xB9\x62]PW[\xA7\xF5\xA9\xF7\xC2\xEE]"), "Big5"},
      // 李世乭 and 朴廷桓 in KS X 1001 Hanja, with the record's place.
      {"Korean names in Hanja",
       Record("PC[Seoul, Korea]PB[\xD7\xDD\xE1\xA6\xD4\xCC]PW[\xDA\xD3\xEF\xD5\xFC\xB8]"),
       "EUC-KR"},
      // 井山裕太 in Shift_JIS, trail bytes "R" and "T" among them.
      {"Shift_JIS name", Record("PB[\x88\xE4\x8E\x52\x97\x54\x91\xBE]"), "Shift_JIS"},
      // 박정환 with the rank 9단 in EUC-KR.
      {"Hangul name", Record("PB[\xB9\xDA\xC1\xA4\xC8\xAF]BR[9\xB4\xDC]"), "EUC-KR"},
      // 柯洁 in UTF-8 with its last byte lost, beside a whole name.
      {"one damaged UTF-8 byte", Record("PB[\xE6\x9F\xAF\xE6\xB4]PW[\xE6\x9F\xAF\xE6\xB4\x81]"),
       "UTF-8"},
      // 古力 九段 (9段) in GBK under a false UTF-8 claim.
      {"a claimed UTF-8 over GBK", Record("CA[UTF-8]PB[\xB9\xC5\xC1\xA6]BR[9\xB6\xCE]"), "GBK"},
      // 古力 and 柯洁 alone: every pair is also a Hangul syllable.
      {"GBK names that read as Hangul", Record("PB[\xB9\xC5\xC1\xA6]PW[\xBF\xC2\xBD\xE0]"), ""},
      // Иванов in windows-1251 and in KOI8-R.
      {"windows-1251", Record("PB[\xC8\xE2\xE0\xED\xEE\xE2]"), "windows-1251"},
      {"KOI8-R", Record("PB[\xE9\xD7\xC1\xCE\xCF\xD7]"), "KOI8-R"},
      {"windows-1252", Record("PB[M\xFCller]PW[Jos\xE9]"), "windows-1252"},
      // 辻華 in GBK, whose trail bytes are ASCII letters: not "\xDEy\xC8A".
      {"GBK name in Latin letters", Record("PB[\xDE\x79\xC8\x41]"), ""},
      // One pair, as likely in several charsets: no label at all.
      {"ambiguous pair", Record("PB[\xB0\xA1]"), ""},
      {"a lone high byte", Record("PB[\xFF]"), ""},
      {"pure ASCII", Record("PB[Lee Sedol]"), "-"},
      {"well-formed UTF-8", Record("PB[\xE6\x9F\xAF\xE6\xB4\x81]"), "-"},
      {"declared charset", Record("CA[GBK]PB[\xB9\xC5\xC1\xA6]"), "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Decision(c.input), c.decided);
  }
}

TEST(CharsetDetectTest, DetectedFilesAreCleanedAsUnderThatCharset) {
  // ASCII trail bytes, "]" among them, stay inside the name, and the label
  // replaces a false UTF-8 claim.
  const std::string name = "\x88\xE4\x8E\x52\x8D\x5D\x91\xBE";  // 井山江太
  const std::string input = Record("CA[UTF-8]PB[" + name + "]");
  const AssumedCharset automatic = *AssumeCharset("auto");
  const AssumedCharset shiftJis = *AssumeCharset("Shift_JIS");
  std::string detected, named;
  ASSERT_EQ(CleanRecord(input, &detected, &automatic), RecordStatus::Cleaned);
  ASSERT_EQ(CleanRecord(Record("PB[" + name + "]"), &named, &shiftJis), RecordStatus::Cleaned);
  EXPECT_EQ(detected, named);
  EXPECT_NE(detected.find("CA[Shift_JIS]"), std::string::npos);
  // --charset UTF-8 labels a damaged UTF-8 file and keeps its bytes.
  const AssumedCharset utf8 = *AssumeCharset("utf-8");
  std::string kept;
  ASSERT_EQ(CleanRecord(Record("PB[\xE6\x9F\xAF\xE6\xB4]"), &kept, &utf8), RecordStatus::Cleaned);
  EXPECT_EQ(kept, "(;GM[1]FF[4]CA[utf-8]PB[\xE6\x9F\xAF\xE6\xB4]SZ[19]\r\n;B[pd]\r\n;W[dp])");
}

struct Tally {
  int files = 0, right = 0, undecided = 0;
  std::map<std::string, int> wrong;
};

TEST(CharsetDetectTest, ReencodedCorpusRecordsAreRecognised) {
  const std::filesystem::path corpus = test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "shared corpus not present";
  if (!test::CanBuildCharsetSamples()) GTEST_SKIP() << "no iconv to re-encode the records";
  std::map<std::string_view, Tally> tallies;
  test::ForEachCharsetSample(corpus, [&](const test::CharsetFamily& family,
                                         const std::filesystem::path&, const std::string& bytes) {
    Tally& tally = tallies[family.name];
    ++tally.files;
    const std::string decided = Decision(bytes);
    if (test::IsRightLabel(family, decided)) {
      ++tally.right;
    } else if (decided.empty()) {
      ++tally.undecided;
    } else {
      ++tally.wrong[decided];
    }
  });
  for (const test::CharsetFamily& family : test::CharsetFamilies()) {
    const Tally& tally = tallies[family.name];
    SCOPED_TRACE(family.name);
    ASSERT_GT(tally.files, 0);
    std::string wrong;
    for (const auto& [name, count] : tally.wrong) wrong += " " + name + " " + std::to_string(count);
    std::printf("%-9s files %4d  right %5.1f%%  undecided %4.1f%%  wrong:%s\n",
                std::string(family.name).c_str(), tally.files, 100.0 * tally.right / tally.files,
                100.0 * tally.undecided / tally.files, wrong.c_str());
    EXPECT_GE(tally.right, 0.97 * tally.files);
    EXPECT_LT(tally.undecided, 0.03 * tally.files);
  }
}

TEST(CharsetDetectTest, AsciiAndUtf8CorpusFilesAreNeverRelabelled) {
  const std::filesystem::path corpus = test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "shared corpus not present";
  const AssumedCharset automatic = *AssumeCharset("auto");
  int controls = 0;
  for (const std::filesystem::path& path : test::FilesUnder(corpus)) {
    const std::string bytes = test::ReadBytes(path);
    if (!IsWellFormedUtf8(bytes)) continue;
    ++controls;
    std::string plain, detected;
    CharsetDetection detection;
    CleanRecord(bytes, &plain, nullptr, nullptr, platform::SystemCodePage());
    CleanRecord(bytes, &detected, &automatic, &detection);
    if (detection.tried || detected != plain) ADD_FAILURE() << path << ": " << detection.charset;
  }
  EXPECT_GT(controls, 0);
}

}  // namespace
}  // namespace varnoket
