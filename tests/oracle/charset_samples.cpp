// SPDX-License-Identifier: MIT
#include "tests/oracle/charset_samples.h"

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

#include "sgf/utf8.h"

#if defined(__GLIBC__)
#include <iconv.h>
#define VARNOKET_SAMPLES_ICONV 1
#endif

namespace varnoket::test {
namespace {

enum class Script { None, Chinese, Japanese, Korean };

struct Encoding {
  std::size_t family;  // index into kFamilies
  Script script;
  std::array<const char*, 2> iconvNames;  // the second where the first lacks a character
};

constexpr CharsetFamily kFamilies[] = {
    {"GBK", {"GBK", "GB18030"}},
    {"Big5", {"Big5", "Big5"}},
    {"Shift_JIS", {"Shift_JIS", "Shift_JIS"}},
    {"EUC-JP", {"EUC-JP", "EUC-JP"}},
    {"EUC-KR", {"EUC-KR", "CP949"}},
};

constexpr Encoding kEncodings[] = {
    {0, Script::Chinese, {"GBK", nullptr}},        {1, Script::Chinese, {"BIG5", nullptr}},
    {2, Script::Japanese, {"SHIFT_JIS", "CP932"}}, {3, Script::Japanese, {"EUC-JP", nullptr}},
    {4, Script::Korean, {"EUC-KR", "CP949"}},
};

// The script of a UTF-8 text's CJK characters: Korean with Hangul, Japanese
// with kana, Chinese with Han characters only.
Script ScriptOf(std::string_view utf8) {
  bool han = false, kana = false, hangul = false;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8SequenceLength(utf8.substr(i));
    if (length == 3) {
      const auto unit = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
      const unsigned code =
          ((unit(0) & 0x0Fu) << 12) | ((unit(1) & 0x3Fu) << 6) | (unit(2) & 0x3Fu);
      han = han || (code >= 0x4E00 && code <= 0x9FFF);
      kana = kana || (code >= 0x3040 && code <= 0x30FF);
      hangul = hangul || (code >= 0xAC00 && code <= 0xD7A3);
    }
    i += length == 0 ? 1 : length;
  }
  if (hangul) return Script::Korean;
  if (kana) return Script::Japanese;
  return han ? Script::Chinese : Script::None;
}

// "bytes" without their CA properties.
std::string WithoutCharset(std::string bytes) {
  for (std::size_t at = bytes.find("CA["); at != std::string::npos; at = bytes.find("CA[", at)) {
    const std::size_t close = bytes.find(']', at);
    if (close == std::string::npos) break;
    bytes.erase(at, close + 1 - at);
  }
  return bytes;
}

#ifdef VARNOKET_SAMPLES_ICONV
// "utf8" in "charset", or nothing when a character does not fit.
std::optional<std::string> Reencode(const std::string& utf8, const char* charset) {
  iconv_t converter = iconv_open(charset, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* to = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = iconv(converter, &in, &inLeft, &to, &outLeft);
  iconv_close(converter);
  if (done == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}
#else
std::optional<std::string> Reencode(const std::string&, const char*) { return std::nullopt; }
#endif

}  // namespace

std::span<const CharsetFamily> CharsetFamilies() { return kFamilies; }

bool IsRightLabel(const CharsetFamily& family, std::string_view detected) {
  return detected == family.labels[0] || detected == family.labels[1];
}

bool CanBuildCharsetSamples() {
#ifdef VARNOKET_SAMPLES_ICONV
  return true;
#else
  return false;
#endif
}

void ForEachCharsetSample(
    const std::filesystem::path& corpus,
    const std::function<void(const CharsetFamily&, const std::filesystem::path&,
                             const std::string&)>& visit) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus, error)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path& path : files) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!IsWellFormedUtf8(bytes)) continue;
    const Script script = ScriptOf(bytes);
    if (script == Script::None) continue;
    const std::string text = WithoutCharset(bytes);
    for (const Encoding& encoding : kEncodings) {
      if (encoding.script != script) continue;
      std::optional<std::string> legacy = Reencode(text, encoding.iconvNames[0]);
      if (!legacy && encoding.iconvNames[1] != nullptr) {
        legacy = Reencode(text, encoding.iconvNames[1]);
      }
      if (!legacy || IsWellFormedUtf8(*legacy)) continue;
      visit(kFamilies[encoding.family], path, *legacy);
    }
  }
}

}  // namespace varnoket::test
