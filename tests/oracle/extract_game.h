// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_ORACLE_EXTRACT_GAME_H_
#define VARNOKET_TESTS_ORACLE_EXTRACT_GAME_H_

// The record path of cleaning, for tests only: LoadFromBytes, ExtractGame and
// SaveToBytes give, step by step over the document model, what CleanRecord
// gives in one pass. It states the cleaning rules a second time on purpose,
// as an oracle: the tests, the fuzzer and the benchmarks hold CleanRecord to
// it over tricky grammar, real files and arbitrary bytes. The program never
// links it; its own cleaning rules are those of clean/clean_record.cpp.

#include "tests/oracle/game_record.h"

namespace varnoket {

// Builds the cleaned game of "source" into "destination", which must be freshly
// Reset. The destination gets: GM "1", FF "4", the source's character set (CA,
// so the text stays readable and is read again as it was: see
// CharsetToDeclare), the copied root properties (kCopiedRootProperties) that
// are present, HA and with it AB, then the main line of moves with a pass
// inserted between two moves of one colour. The destination is written in the
// source's encoding. The source is only read.
void ExtractGame(GameRecord& source, GameRecord& destination);

}  // namespace varnoket

#endif  // VARNOKET_TESTS_ORACLE_EXTRACT_GAME_H_
