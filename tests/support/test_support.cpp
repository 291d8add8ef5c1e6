// SPDX-License-Identifier: MIT
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <utility>

#include "platform/path_text.h"
#include "platform/text_codec.h"
#include "sgf/charset.h"
#include "sgf/sgf_parser.h"
#include "sgf/utf8.h"
#include "tests/oracle/extract_game.h"
#include "tests/oracle/game_record.h"

namespace varnoket::test {

std::filesystem::path CorpusDir() {
  std::error_code error;
  const std::filesystem::path dir(VARNOKET_CORPUS_DIR);
  return std::filesystem::is_directory(dir, error) ? dir : std::filesystem::path();
}

std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  if (!std::filesystem::exists(folder, error)) return files;
  for (const std::filesystem::path& path : FilesUnder(folder)) {
    std::string name = platform::PathToUtf8(path.lexically_relative(folder));
    std::replace(name.begin(), name.end(), '\\', '/');
    files[name] = ReadBytes(path);
  }
  return files;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("varnoket-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

std::string ShowLineBreaks(std::string_view bytes) {
  std::string shown;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      shown += '|';
      ++i;
    } else {
      shown += bytes[i];
    }
  }
  return shown;
}

Cleaning CleanInOnePass(std::string_view input, const AssumedCharset* assumed) {
  Cleaning cleaning;
  cleaning.status =
      CleanRecord(input, &cleaning.bytes, assumed, nullptr, platform::SystemCodePage());
  return cleaning;
}

Cleaning CleanThroughRecords(std::string_view input, const AssumedCharset* assumed) {
  Cleaning cleaning;
  GameRecord source;
  source.Reset();
  if (!source.LoadFromBytes(input, assumed)) {
    if (source.cutShort()) cleaning.status = RecordStatus::CutShort;
    return cleaning;
  }
  GameRecord destination;
  destination.Reset();
  ExtractGame(source, destination);
  cleaning.status =
      destination.SaveToBytes(&cleaning.bytes) ? RecordStatus::Cleaned : RecordStatus::TooLarge;
  return cleaning;
}

void ExpectCleaned(std::string_view input, std::string_view cleaned,
                   const AssumedCharset* assumed) {
  SCOPED_TRACE(testing::Message() << "input: " << ShowLineBreaks(input));
  const RecordStatus status = cleaned.empty() ? RecordStatus::NoGameFound : RecordStatus::Cleaned;
  const std::pair<const char*, Cleaning> ways[] = {
      {"in one pass", CleanInOnePass(input, assumed)},
      {"through the records", CleanThroughRecords(input, assumed)},
  };
  for (const auto& [way, actual] : ways) {
    SCOPED_TRACE(way);
    EXPECT_EQ(actual.status, status);
    EXPECT_EQ(ShowLineBreaks(actual.bytes), ShowLineBreaks(cleaned));
  }
}

bool ReadByteForByte(std::string_view input, const AssumedCharset* assumed) {
  const CharsetName* system = CodePageCharset(platform::SystemCodePage());
  if (system == nullptr || assumed != nullptr) return true;
  const grammar::Reading reading =
      grammar::ChooseReading(input, nullptr, platform::SystemCodePage());
  return !grammar::DeclaredCharset(input).empty() || reading.label != system->name;
}

std::string Rewritten(std::string_view input, bool* loaded) {
  GameRecord record;
  record.Reset();
  const bool accepted = record.LoadFromBytes(input);
  if (loaded != nullptr) *loaded = accepted;
  std::string bytes;
  record.SaveToBytes(&bytes);
  return bytes;
}

std::string Numbered(std::string_view prefix, int n, std::string_view suffix) {
  std::string text(prefix);
  text += std::to_string(n);
  text += suffix;
  return text;
}

WideString W(std::string_view latin1) {
  WideString text;
  for (const char c : latin1) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return text;
}

std::string Utf8(const WideString& text) {
  std::string out;
  AppendUtf8(text, &out);
  return out;
}

#ifdef _WIN32
std::wstring BesideThisProgram(std::wstring_view name) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path.resize(path.find_last_of(L"\\/") + 1);
  return path.append(name);
}
#endif

}  // namespace varnoket::test
