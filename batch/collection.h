// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_COLLECTION_H_
#define VARNOKET_BATCH_COLLECTION_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "platform/byte_source.h"
#include "sgf/charset.h"

namespace varnoket {

// What cleaning the games of one source came to.
struct CollectionResult {
  // Some game was kept; otherwise "reason" says why the source is not written.
  bool ok = false;
  FailureReason reason = FailureReason::NoGameFound;
  std::string systemMessage;  // for CannotRead
  std::uint64_t bytesRead = 0;
  std::uint64_t games = 0;  // games found
  // Games kept: cleaned and handed on.
  std::uint64_t kept = 0;
  // Under AllGames and Split: the games that could not be cleaned, in order.
  std::vector<GameFailure> brokenGames;
};

// Called with each output as it is complete: "number" is the game's place in
// the source under Split when the source holds more than one game, else 0
// (the one output of the source). It may move "*bytes" away.
using CollectionOutput = std::function<void(std::uint64_t number, std::string* bytes)>;

// Reads "source" block by block, cuts it into games (GameSplitter) and cleans
// each as a file of its own (CleanBytes), holding no more than one game, its
// cleaned form and a block at a time (under AllGames, also the cleaned
// collection):
// - FirstGame: the first game that can be cleaned is the output; the others
//   are only counted.
// - AllGames: every game that can be cleaned, in order, each on its own line,
//   make the output.
// - Split: every game that can be cleaned is an output of its own, handed on
//   as soon as the next game is found.
// A game that cannot be cleaned is skipped; when none can, the result gives
// the last one's reason. A read that fails ends the source: CannotRead, and
// nothing is handed on after it. Memory that runs out fails the game, or the
// source when the splitter's own buffer cannot grow.
CollectionResult CleanCollection(platform::ByteSource& source, GameMode mode,
                                 const AssumedCharset* assumed, const CollectionOutput& output);

// The name the game "number" of the source "name" takes under Split:
// "NAME-0001.sgf" (four digits at least), with the source's extension.
std::filesystem::path SplitName(const std::filesystem::path& name, std::uint64_t number);

}  // namespace varnoket

#endif  // VARNOKET_BATCH_COLLECTION_H_
