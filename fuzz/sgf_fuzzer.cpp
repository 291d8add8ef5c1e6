// SPDX-License-Identifier: MIT
// Loads arbitrary bytes, writes them, loads the result again and cleans it,
// checking that the reader accepts what the writer wrote, that the second
// load yields the same text, that cleaning is stable, and that cleaning in one
// pass gives the bytes of cleaning through the records. It also cuts the input
// into games, whole and in small blocks, and checks that the games cover it,
// that the block size changes nothing, and that cleaning the games one by one
// gives what --all-games gives. Cleaned with damage mended, it checks that a
// mended record cleans to one that reads back without mending, and that one
// with nothing to mend cleans as without. The input's length picks the charset
// assumed for files that name none, or none.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "batch/collection.h"
#include "clean/clean_record.h"
#include "platform/text_codec.h"
#include "sgf/game_splitter.h"
#include "sgf/utf16_stream.h"
#include "tests/oracle/extract_game.h"
#include "tests/oracle/game_record.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// No assumed charset, one of each byte grouping, UTF-8, and detection.
const varnoket::AssumedCharset* PickAssumed(std::size_t size) {
  static const varnoket::AssumedCharset kAssumed[] = {
      *varnoket::AssumeCharset("windows-1251"), *varnoket::AssumeCharset("Shift_JIS"),
      *varnoket::AssumeCharset("GB18030"),      *varnoket::AssumeCharset("Big5"),
      *varnoket::AssumeCharset("EUC-KR"),       *varnoket::AssumeCharset("EUC-JP"),
      *varnoket::AssumeCharset("ISO-2022-JP"),  *varnoket::AssumeCharset("UTF-8"),
      *varnoket::AssumeCharset("auto"),
  };
  const std::size_t pick = size % (std::size(kAssumed) + 1);
  return pick == 0 ? nullptr : &kAssumed[pick - 1];
}

std::string Cleaned(varnoket::GameRecord& source) {
  varnoket::GameRecord destination;
  destination.Reset();
  varnoket::ExtractGame(source, destination);
  std::string bytes;
  Check(destination.SaveToBytes(&bytes));
  return bytes;
}

// The games of "input" fed "block" bytes at a time.
std::vector<std::string> SplitGames(std::string_view input, std::size_t block,
                                    const varnoket::AssumedCharset* assumed) {
  varnoket::GameSplitter splitter(assumed, varnoket::platform::SystemCodePage(), 1 << 20);
  std::vector<std::string> games;
  varnoket::SplitGame game;
  for (std::size_t at = 0; at < input.size(); at += block) {
    splitter.Append(input.substr(at, block));
    while (splitter.Next(&game)) games.emplace_back(game.text);
  }
  splitter.Finish();
  while (splitter.Next(&game)) games.emplace_back(game.text);
  return games;
}

// The bytes of a string, a few at a time.
class SmallBlocks : public varnoket::platform::ByteSource {
 public:
  explicit SmallBlocks(std::string_view bytes) : bytes_(bytes) {}
  varnoket::platform::IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = std::min({capacity, std::size_t{5}, bytes_.size()});
    bytes_.copy(buffer, *got);
    bytes_.remove_prefix(*got);
    return varnoket::platform::IoStatus::Ok();
  }

 private:
  std::string_view bytes_;
};

// The cleaned collection, as --all-games writes it.
class Collected : public varnoket::CollectionOutput {
 public:
  void Own(std::string_view bytes) override { text += bytes; }
  void Numbered(std::uint64_t, std::string*) override { std::abort(); }
  std::string text;
};

void CheckSplitting(std::string_view input, const varnoket::AssumedCharset* assumed) {
  // A collection is read as UTF-8 when it is UTF-16.
  varnoket::Utf16Stream stream(false);
  std::string text(stream.Feed(input));
  text += stream.Finish();
  const std::vector<std::string> games = SplitGames(text, text.size() + 1, assumed);
  Check(SplitGames(text, 1 + text.size() % 7, assumed) == games);
  std::string joined;
  std::string expected;
  for (const std::string& game : games) {
    joined += game;
    std::string cleaned;
    if (varnoket::CleanRecord(game, &cleaned, assumed, nullptr,
                              varnoket::platform::SystemCodePage()) !=
        varnoket::RecordStatus::Cleaned) {
      continue;
    }
    if (!expected.empty()) expected += "\r\n";
    expected += cleaned;
  }
  // The games are the input, cut; bytes before the first game go with it.
  Check(games.empty() || joined == text);

  SmallBlocks source(input);
  Collected collected;
  varnoket::CollectionOptions options;
  options.mode = varnoket::GameMode::AllGames;
  options.assumed = assumed;
  const varnoket::CollectionResult result = varnoket::CleanCollection(source, options, collected);
  Check(result.games == games.size());
  Check(collected.text == expected);
}

void CheckMending(std::string_view input, const varnoket::AssumedCharset* assumed,
                  varnoket::RecordStatus status, const std::string& onePass) {
  varnoket::Repairs repairs;
  std::string mended;
  const varnoket::RecordStatus mendedStatus = varnoket::CleanRecord(
      input, &mended, assumed, nullptr, varnoket::platform::SystemCodePage(), &repairs);
  if (!repairs.any()) {
    Check(mendedStatus == status && mended == onePass);
    return;
  }
  if (mendedStatus != varnoket::RecordStatus::Cleaned) return;
  std::string again;
  Check(varnoket::CleanRecord(mended, &again, nullptr, nullptr,
                              varnoket::platform::SystemCodePage()) ==
            varnoket::RecordStatus::Cleaned &&
        again == mended);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const varnoket::AssumedCharset* assumed = PickAssumed(size);
  varnoket::GameRecord record;
  record.Reset();
  const bool loaded = record.LoadFromBytes(input, assumed);
  std::string onePass;
  const varnoket::RecordStatus status = varnoket::CleanRecord(input, &onePass, assumed, nullptr,
                                                              varnoket::platform::SystemCodePage());
  CheckSplitting(input, assumed);
  CheckMending(input, assumed, status, onePass);
  std::string written;
  Check(record.SaveToBytes(&written));
  if (!loaded) {
    Check(status == (record.cutShort() ? varnoket::RecordStatus::CutShort
                                       : varnoket::RecordStatus::NoGameFound) &&
          onePass.empty());
    Check(written == "(;)");
    return 0;
  }

  varnoket::GameRecord again;
  again.Reset();
  const bool reloaded = again.LoadFromBytes(written, assumed);
  // The code page may differ: text that made a file invalid UTF-8 may sit in
  // a part the reader drops. The bytes written must not, as long as they
  // group into the same characters. Under an assumed charset they need not:
  // once the bytes that were not UTF-8, or the escapes that hid a CA from the
  // charset probe, are gone, the file written is rightly read otherwise. The
  // cleaned record declares its charset, so cleaning stays stable (below).
  if (again.encoding().grouping == record.encoding().grouping) {
    Check(reloaded);
    Check(again.games().size() == record.games().size());
    std::string rewritten;
    Check(again.SaveToBytes(&rewritten));
    Check(rewritten == written);
  }

  const std::string once = Cleaned(record);
  Check(status == varnoket::RecordStatus::Cleaned && onePass == once);
  varnoket::GameRecord cleaned;
  cleaned.Reset();
  Check(cleaned.LoadFromBytes(once));
  Check(Cleaned(cleaned) == once);
  return 0;
}
