// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_ORACLE_CHARSET_SAMPLES_H_
#define VARNOKET_TESTS_ORACLE_CHARSET_SAMPLES_H_

// The labelled records that charset detection is measured on: the corpus's
// own well-formed UTF-8 Chinese, Japanese and Korean records, each re-encoded
// into the legacy charsets of its script that hold all its characters, with
// its CA removed. Re-encoding uses glibc's iconv; elsewhere there are none.
#include <array>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace varnoket::test {

// A family of legacy charsets and the detected names that count as right.
struct CharsetFamily {
  std::string_view name;
  std::array<std::string_view, 2> labels;
};

std::span<const CharsetFamily> CharsetFamilies();

bool IsRightLabel(const CharsetFamily& family, std::string_view detected);

// Whether this platform can build the samples.
bool CanBuildCharsetSamples();

// Calls "visit" for every sample built from the files under "corpus", in file
// order: the family it was written in, the file it came from, its bytes.
// Records of Han characters alone count as Chinese (GBK, Big5), with kana as
// Japanese (Shift_JIS, EUC-JP), with Hangul as Korean (EUC-KR, else CP949).
// Samples that happen to be well-formed UTF-8 are left out.
void ForEachCharsetSample(
    const std::filesystem::path& corpus,
    const std::function<void(const CharsetFamily&, const std::filesystem::path&,
                             const std::string&)>& visit);

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_ORACLE_CHARSET_SAMPLES_H_
