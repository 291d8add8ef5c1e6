// SPDX-License-Identifier: MIT
// Charset detection set against two general detectors, uchardet and ICU, on
// the labelled samples (tests/oracle/charset_samples.h): the share of each
// family every detector names right. Not part of the program; built only where
// both libraries are installed (libuchardet-dev, libicu-dev).
//
//   build/bench/bin/charset_compare [CORPUS]
#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "sgf/charset_detect.h"
#include "tests/oracle/charset_samples.h"

namespace {

// The family a charset name of any detector belongs to, as the samples name
// them; the name itself when it belongs to none.
std::string FamilyOf(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name == "GBK" || name == "GB18030" || name == "GB2312" || name == "EUC-CN") return "GBK";
  if (name == "BIG5" || name == "BIG5-HKSCS" || name == "CP950") return "Big5";
  if (name == "SHIFT_JIS" || name == "CP932" || name == "WINDOWS-31J") return "Shift_JIS";
  if (name == "EUC-JP") return "EUC-JP";
  if (name == "EUC-KR" || name == "CP949" || name == "UHC" || name == "ISO-2022-KR")
    return "EUC-KR";
  return name;
}

std::string Uchardet(const std::string& bytes) {
  uchardet_t detector = uchardet_new();
  uchardet_handle_data(detector, bytes.data(), bytes.size());
  uchardet_data_end(detector);
  std::string name = uchardet_get_charset(detector);
  uchardet_delete(detector);
  return name;
}

std::string Icu(const std::string& bytes) {
  UErrorCode status = U_ZERO_ERROR;
  UCharsetDetector* detector = ucsdet_open(&status);
  ucsdet_setText(detector, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  const UCharsetMatch* match = ucsdet_detect(detector, &status);
  std::string name = match != nullptr && U_SUCCESS(status) ? ucsdet_getName(match, &status) : "";
  ucsdet_close(detector);
  return name;
}

struct Tally {
  int files = 0;
  int ours = 0, oursUndecided = 0, uchardet = 0, icu = 0;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace varnoket;
  const std::filesystem::path corpus =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path(VARNOKET_BENCH_CORPUS_DIR);
  if (!test::CanBuildCharsetSamples()) {
    std::fprintf(stderr, "charset_compare: no iconv to build the samples\n");
    return 1;
  }
  std::map<std::string_view, Tally> tallies;
  test::ForEachCharsetSample(corpus, [&](const test::CharsetFamily& family,
                                         const std::filesystem::path&, const std::string& bytes) {
    Tally& tally = tallies[family.name];
    ++tally.files;
    const auto detected = DetectCharset(bytes);
    if (!detected) ++tally.oursUndecided;
    if (detected && test::IsRightLabel(family, detected->name)) ++tally.ours;
    if (FamilyOf(Uchardet(bytes)) == family.name) ++tally.uchardet;
    if (FamilyOf(Icu(bytes)) == family.name) ++tally.icu;
  });
  std::printf("| family | records | Varnoket | undecided | uchardet | ICU |\n");
  std::printf("|---|--:|--:|--:|--:|--:|\n");
  const auto percent = [](int n, int of) { return of == 0 ? 0.0 : 100.0 * n / of; };
  for (const test::CharsetFamily& family : test::CharsetFamilies()) {
    const Tally& t = tallies[family.name];
    std::printf("| %s | %d | %.1f%% | %.1f%% | %.1f%% | %.1f%% |\n",
                std::string(family.name).c_str(), t.files, percent(t.ours, t.files),
                percent(t.oursUndecided, t.files), percent(t.uchardet, t.files),
                percent(t.icu, t.files));
  }
  return 0;
}
