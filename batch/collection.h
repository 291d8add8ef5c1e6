// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_COLLECTION_H_
#define VARNOKET_BATCH_COLLECTION_H_

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "platform/byte_source.h"
#include "platform/file_system.h"
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
  // What charset detection made of the first game it was tried on (the
  // source's, when it holds one game).
  CharsetDetection detection;
  // Under "recover": what was mended in the games kept, all of them together.
  Repairs repairs;
  // CollectionOptions::stop was set before the source ended: the games read
  // by then were cleaned and handed on (ok and the rest as for a source that
  // ended there), the rest was not read.
  bool interrupted = false;
};

// Where the cleaned games of one source go. Own comes from the thread that
// called CleanCollection, in the order of the games; Numbered may come from
// the workers, several at once, in any order.
class CollectionOutput {
 public:
  virtual ~CollectionOutput() = default;
  // The next part of the source's own cleaned file: under FirstGame the whole
  // of it; under AllGames one game after another, with the line break between
  // them; under Split the one game of a source that holds one.
  virtual void Own(std::string_view bytes) = 0;
  // Game "number" of a collection under Split, complete. It may be moved away.
  virtual void Numbered(std::uint64_t number, std::string* bytes) = 0;
};

// How far one source has been read.
struct CollectionProgress {
  std::uint64_t bytesRead = 0;
  std::uint64_t games = 0;  // games found so far
};

struct CollectionOptions {
  GameMode mode = GameMode::FirstGame;
  const AssumedCharset* assumed = nullptr;
  // Mend damaged games (CleanInBatch) and read UTF-16 without a byte-order mark.
  bool recover = false;
  // Threads that clean games at once under AllGames and Split; the calling
  // thread reads and cuts. The output is the same for every value. They are
  // started only once the source proves to hold more than a batch of games
  // (so a file of one game starts none), and, with "threadBudget", only as
  // many as it has left, given back when the source is done: the sources
  // cleaned at once in one run share one budget.
  unsigned workers = 1;
  // The source's size when known (a regular file's), 0 otherwise: a game is
  // then never given more room than the rest of the source can fill.
  std::uint64_t sourceSize = 0;
  std::atomic<unsigned>* threadBudget = nullptr;
  // Called after each block read, from the calling thread.
  std::function<void(const CollectionProgress&)> onProgress;
  // Once set, no more of the source is read (CollectionResult::interrupted).
  const std::atomic<bool>* stop = nullptr;
};

// Reads "source" block by block, as UTF-8 when it is UTF-16 (Utf16Stream),
// cuts it into games (GameSplitter) and cleans
// each as a file of its own (CleanInBatch), so that memory holds a few blocks'
// games and their cleaned forms, whatever the size of the source:
// - FirstGame: the first game that can be cleaned is the output; the others
//   are only counted.
// - AllGames: every game that can be cleaned, in order, one per line.
// - Split: every game that can be cleaned is an output of its own, handed on
//   once the next game shows the source to be a collection.
// A game that cannot be cleaned is skipped; when none can, the result gives
// the last one's reason. A read that fails ends the source with CannotRead;
// what was handed on before must then be discarded. A game longer than the
// cleaner takes fails with OutOfMemory, as does the source when memory runs
// out outside a game.
CollectionResult CleanCollection(platform::ByteSource& source, const CollectionOptions& options,
                                 CollectionOutput& output);

// The name the game "number" of the source "name" takes under Split:
// "NAME-0001.sgf" (four digits at least), with the source's extension.
std::filesystem::path SplitName(const std::filesystem::path& name, std::uint64_t number);

// A source's own cleaned file while it grows: held in memory up to
// kHeldOutputBytes, and from then on passed to "spill" part by part (the held
// bytes first), so that a cleaned collection of any size is written with
// bounded memory. After the first failure nothing more is passed on.
class GrowingOutput {
 public:
  static constexpr std::size_t kHeldOutputBytes = 16 << 20;

  using Spill = std::function<platform::IoStatus(std::string_view bytes)>;
  explicit GrowingOutput(Spill spill) : spill_(std::move(spill)) {}

  void Add(std::string_view bytes);

  // Whether any part went to "spill"; if not, the whole output is held().
  bool spilled() const { return spilled_; }
  std::string* held() { return &held_; }
  const platform::IoStatus& status() const { return status_; }
  std::uint64_t size() const { return size_; }

 private:
  Spill spill_;
  std::string held_;
  bool spilled_ = false;
  platform::IoStatus status_;
  std::uint64_t size_ = 0;
};

// Stages a file part by part (FileSystem::Stage, then Append) and commits it
// (Flush when it replaces a file, then Commit): an atomic write of a file
// that is never whole in memory.
class StreamedFile {
 public:
  // "*files" must outlive it; "options" as for FileSystem::Stage.
  StreamedFile(platform::FileSystem& files, std::filesystem::path target,
               const platform::StageOptions& options);

  // Stages the file in "folder", open, rather than in the target's folder
  // opened by its path. Before the first Add.
  void StageIn(const platform::FolderHandle& folder) { folder_ = folder; }

  platform::IoStatus Add(std::string_view bytes);
  platform::IoStatus Commit();

 private:
  platform::FileSystem& files_;
  std::filesystem::path target_;
  platform::StageOptions options_;
  std::optional<platform::FolderHandle> folder_;
  bool staged_ = false;
  platform::StagedFile file_;
};

}  // namespace varnoket

#endif  // VARNOKET_BATCH_COLLECTION_H_
