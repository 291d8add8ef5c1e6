#ifndef VARNOKET_CLEAN_CLEAN_BYTES_H_
#define VARNOKET_CLEAN_CLEAN_BYTES_H_

#include <string>
#include <string_view>

#include "sgf/charset.h"

namespace varnoket {

// What cleaning one file's bytes came to.
enum class CleanStatus {
  Cleaned,      // the output holds the cleaned record
  NoGameFound,  // no game tree parses, or the input is too large to read
  TooLarge,     // the cleaned text is too long to convert
  OutOfMemory,  // memory ran out on the way
};

// Cleans SGF bytes in one pass, giving exactly what LoadFromBytes, ExtractGame
// and SaveToBytes give together (NoGameFound where LoadFromBytes returns false,
// TooLarge where SaveToBytes does, OutOfMemory where either runs out of
// memory), without building either record: the parser
// checks every game tree as the reader does but keeps only the first accepted
// tree's root information and main line, as positions in "input". Memory
// beyond the output is a few bytes per node of that main line.
//
// A file that names no charset is read in "assumed" when it is given and the
// file is not well-formed UTF-8; the cleaned record then declares it as its CA
// (see grammar::ChooseReading and ExtractGame).
//
// "*out" is replaced: the cleaned bytes on Cleaned, empty otherwise.
CleanStatus CleanSgfBytes(std::string_view input, std::string* out,
                          const AssumedCharset* assumed = nullptr);

}  // namespace varnoket

#endif  // VARNOKET_CLEAN_CLEAN_BYTES_H_
