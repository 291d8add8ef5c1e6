// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_SUPPORT_TEST_SUPPORT_H_
#define VARNOKET_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "clean/clean_record.h"
#include "sgf/charset.h"
#include "sgf/wide_string.h"

namespace varnoket::test {

// A game with everything the cleaning drops, and its cleaned form.
inline constexpr const char* kRichGame =
    "(;GM[1]FF[4]SZ[9]PB[Black]PW[White]C[comment];B[aa]C[x];W[bb](;B[cc])(;B[dd]))";
inline constexpr const char* kRichGameCleaned =
    "(;GM[1]FF[4]PW[White]PB[Black]SZ[9]\r\n;B[aa]\r\n;W[bb]\r\n;B[cc])";
// Bytes in which no game tree parses.
inline constexpr const char* kDamaged = "this is not a game record";

// The shared corpus of real SGF files, or an empty path when it is absent.
std::filesystem::path CorpusDir();

// Every regular file under "folder" (recursively), sorted.
std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& folder);

// Every regular file under "folder" (recursively) by its path relative to
// "folder" (UTF-8, "/" between folders), with its bytes; empty when "folder"
// is absent.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// A fresh empty folder under the system's temporary folder, removed with its
// content when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// "bytes" with each CR LF shown as "|", for readable expectations.
std::string ShowLineBreaks(std::string_view bytes);

// What cleaning one input gave: its status and the cleaned bytes.
struct Cleaning {
  RecordStatus status = RecordStatus::NoGameFound;
  std::string bytes;  // empty unless Cleaned
  friend bool operator==(const Cleaning&, const Cleaning&) = default;
};

// Cleans "input" as the program does (CleanRecord).
Cleaning CleanInOnePass(std::string_view input, const AssumedCharset* assumed = nullptr);

// Cleans "input" through the records, the test oracle: LoadFromBytes (no game
// found or cut short when it fails), ExtractGame, SaveToBytes (too large when
// it fails).
Cleaning CleanThroughRecords(std::string_view input, const AssumedCharset* assumed = nullptr);

// Expects both ways of cleaning "input" to give "cleaned" ("|" may stand for
// CR LF in it); an empty "cleaned" means that no game is found.
void ExpectCleaned(std::string_view input, std::string_view cleaned,
                   const AssumedCharset* assumed = nullptr);

// False where "input" names no charset and is read in the multi-byte charset
// of the system code page (on a Japanese, Chinese or Korean Windows): its
// 8-bit text is then grouped as that charset says and its cleaned file
// labelled with it, unlike everywhere else.
bool ReadByteForByte(std::string_view input, const AssumedCharset* assumed = nullptr);

// Loads "input" into a fresh record and writes it again; "*loaded" tells
// whether any game was accepted.
std::string Rewritten(std::string_view input, bool* loaded = nullptr);

// "prefix" + n + "suffix" (built by appending, which GCC 12 does not
// misreport as an overlapping copy).
std::string Numbered(std::string_view prefix, int n, std::string_view suffix = "");

#ifdef _WIN32
// "name" in the folder of the running test program, where the build puts the
// programs under test.
std::wstring BesideThisProgram(std::wstring_view name);
#endif

// ASCII/Latin-1 text as UTF-16, for readable literals in tests.
WideString W(std::string_view latin1);
// UTF-16 text back as UTF-8, for readable failure messages.
std::string Utf8(const WideString& text);

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_SUPPORT_TEST_SUPPORT_H_
