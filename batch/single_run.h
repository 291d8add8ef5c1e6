// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_SINGLE_RUN_H_
#define VARNOKET_BATCH_SINGLE_RUN_H_

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "batch/batch_run.h"
#include "batch/collection.h"
#include "platform/file_system.h"
#include "platform/streams.h"
#include "sgf/charset.h"

namespace varnoket {

// What a source names, as a run decides how to clean it.
enum class SourceKind {
  Folder,   // RunBatch
  Record,   // RunSingle: a file, a pipe or a device
  Missing,  // nothing there, or it cannot be looked at
};

// Tells what "source" names; "*message" gets the system's reason when it is
// Missing. "files" null means the real disk.
SourceKind ClassifySource(const std::filesystem::path& source, std::string* message,
                          platform::FileSystem* files = nullptr);

struct SingleOptions {
  // The record: a file, a pipe or a device; or standard input.
  std::filesystem::path source;
  bool fromStandardInput = false;
  // Where it goes: a file, a folder to put it in under the source's name, a
  // pipe or a device (written into, never replaced); or standard output.
  std::filesystem::path destination;
  bool toStandardOutput = false;
  // Write nothing; report what a real run would.
  bool dryRun = false;
  std::optional<AssumedCharset> assumedCharset;
  // Mend a damaged record (see BatchOptions::recover).
  bool recover = false;
  // Under Split the games of a collection go to files named after the
  // destination (SplitName); to standard output they follow one another as
  // under AllGames.
  GameMode games = GameMode::FirstGame;
  // Threads that clean games at once; 0 means one per hardware thread.
  unsigned jobs = 1;
  // Called as the record is read, from the calling thread. "total" is the
  // size of a file, 0 when it is not known.
  std::function<void(const CollectionProgress& progress, std::uint64_t total)> onProgress;
  // Null means the real disk and the process's own streams.
  platform::FileSystem* fileSystem = nullptr;
  platform::Streams* streams = nullptr;
  // Once set, no more of the record is read: the games read by then are
  // cleaned and written (under Split), the record's own file is not
  // (SingleReport::interrupted). May be null.
  const std::atomic<bool>* stop = nullptr;
};

// One failure of a single run, on the side it happened.
struct SingleFailure {
  // The source (standard input), or a file written (standard output): for
  // Target, failure.name is the path written.
  enum class Side { Source, Target };
  Side side = Side::Source;
  FileFailure failure;
};

struct SingleReport {
  std::size_t cleaned = 0;              // files written (numbered game files included)
  std::vector<SingleFailure> failures;  // broken games first, in order
  std::uint64_t notKept = 0;            // FirstGame: further games
  std::vector<FileCharset> detected;    // the record, when detection was tried
  Repairs repairs;                      // what was mended in what was written
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesWritten = 0;
  // The stop came before the record ended (SingleOptions::stop).
  bool interrupted = false;
  // Its own file, which the stop left unwritten.
  std::size_t notStarted = 0;
};

// Cleans one record. Its games are read block by block, so its size is not
// limited by memory. A file cleaned in place is replaced only while it is as
// it was read.
SingleReport RunSingle(const SingleOptions& options);

}  // namespace varnoket

#endif  // VARNOKET_BATCH_SINGLE_RUN_H_
