// Loads arbitrary bytes, writes them, loads the result again and cleans it,
// checking that the reader accepts what the writer wrote, that the second
// load yields the same text, that cleaning is stable, and that cleaning in one
// pass gives the bytes of cleaning through the records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clean/clean_bytes.h"
#include "clean/extract_game.h"
#include "sgf/game_record.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Cleaned(varnoket::GameRecord& source) {
  varnoket::GameRecord destination;
  destination.Reset();
  varnoket::ExtractGame(source, destination);
  std::string bytes;
  Check(destination.SaveToBytes(&bytes));
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  varnoket::GameRecord record;
  record.Reset();
  const bool loaded = record.LoadFromBytes(input);
  std::string onePass;
  const varnoket::CleanStatus status = varnoket::CleanSgfBytes(input, &onePass);
  std::string written;
  Check(record.SaveToBytes(&written));
  if (!loaded) {
    Check(status == varnoket::CleanStatus::NoGameFound && onePass.empty());
    Check(written == "(;)");
    return 0;
  }

  varnoket::GameRecord again;
  again.Reset();
  Check(again.LoadFromBytes(written));
  Check(again.games().size() == record.games().size());
  // The code page may differ: text that made a file invalid UTF-8 may sit in
  // a part the reader drops. The bytes written must not.
  std::string rewritten;
  Check(again.SaveToBytes(&rewritten));
  Check(rewritten == written);

  const std::string once = Cleaned(record);
  Check(status == varnoket::CleanStatus::Cleaned && onePass == once);
  varnoket::GameRecord cleaned;
  cleaned.Reset();
  Check(cleaned.LoadFromBytes(once));
  Check(Cleaned(cleaned) == once);
  return 0;
}
