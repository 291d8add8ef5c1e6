// SPDX-License-Identifier: MIT
#include "batch/single_run.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

#include "batch/collection.h"
#include "platform/byte_source.h"
#include "platform/path_text.h"

namespace varnoket {
namespace {

// One run's state: where the record goes and what became of it.
class SingleRun {
 public:
  SingleRun(const SingleOptions& options, platform::FileSystem& files, platform::Streams& streams)
      : options_(options), files_(files), streams_(streams) {}

  SingleReport Execute() {
    std::unique_ptr<platform::ByteSource> source;
    platform::IoStatus opened;
    try {
      if (options_.fromStandardInput) {
        opened = streams_.OpenStandardInput(&source);
      } else if (files_.KindOf(options_.source) == platform::PathKind::File) {
        opened = files_.OpenFile(options_.source, &source, &identity_);
        readAFile_ = true;
      } else {
        opened = streams_.OpenNamedStream(options_.source, &source);  // a pipe or a device
      }
    } catch (const std::bad_alloc&) {
      SourceFailure(FailureReason::OutOfMemory, "");
      return std::move(report_);
    }
    if (!opened.ok()) {
      SourceFailure(FailureReason::CannotRead, opened.message());
      return std::move(report_);
    }
    target_ = options_.destination;
    if (!options_.toStandardOutput && !options_.fromStandardInput &&
        files_.KindOf(target_) == platform::PathKind::Folder) {
      // A record from standard input has no name to give it inside a folder;
      // writing to the folder itself then fails and says so.
      target_ = platform::AsFolder(target_) / options_.source.filename();
    }
    GameMode mode = options_.games;
    if (mode == GameMode::Split && options_.toStandardOutput) mode = GameMode::AllGames;
    const CollectionResult collection = CleanCollection(
        *source, mode, options_.assumedCharset ? &*options_.assumedCharset : nullptr,
        [this](std::uint64_t number, std::string* bytes) { Write(number, *bytes); });
    source.reset();
    report_.bytesRead = collection.bytesRead;
    std::vector<SingleFailure> failures;
    for (const GameFailure& game : collection.brokenGames) {
      failures.push_back(
          SingleFailure{SingleFailure::Side::Source,
                        FileFailure{options_.source, game.reason, "", game.number, game.offset}});
    }
    if (!collection.ok) {
      failures.push_back(SingleFailure{
          SingleFailure::Side::Source,
          FileFailure{options_.source, collection.reason, collection.systemMessage, 0, 0}});
    }
    if (mode == GameMode::FirstGame && collection.ok) report_.notKept = collection.games - 1;
    // Broken games first, then the writes, in the order they happened.
    failures.insert(failures.end(), std::make_move_iterator(report_.failures.begin()),
                    std::make_move_iterator(report_.failures.end()));
    report_.failures = std::move(failures);
    return std::move(report_);
  }

 private:
  void SourceFailure(FailureReason reason, std::string message) {
    report_.failures.push_back(
        SingleFailure{SingleFailure::Side::Source,
                      FileFailure{options_.source, reason, std::move(message), 0, 0}});
  }

  // Writes one output: the record's own (number 0) or a numbered game.
  void Write(std::uint64_t number, std::string_view bytes) {
    platform::IoStatus status;
    std::filesystem::path target;
    if (options_.toStandardOutput) {
      if (!options_.dryRun) {
        // The games of a collection follow one another, each on its line.
        if (wroteToOutput_) status = streams_.WriteStandardOutput("\r\n");
        if (status.ok()) status = streams_.WriteStandardOutput(bytes);
        wroteToOutput_ = true;
      }
    } else {
      target = number == 0 ? target_ : SplitName(target_, number);
      // A device or a pipe (/dev/null, /dev/stdout, a FIFO) is written into;
      // only a file is replaced, so that the node itself is never swapped out.
      const bool intoStream = files_.KindOf(target) == platform::PathKind::Other;
      // Cleaning a file in place replaces it only while it is as it was read.
      platform::FileIdentity found;
      const bool inPlace = number == 0 && readAFile_ && files_.IdentifyFile(target, &found).ok() &&
                           found.device == identity_.device && found.file == identity_.file;
      if (options_.dryRun) {
        status = intoStream ? platform::IoStatus::Ok() : files_.ProbeWrite(target);
      } else {
        status = intoStream
                     ? streams_.WriteNamedStream(target, bytes)
                     : files_.WriteFileAtomically(target, bytes, inPlace ? &identity_ : nullptr);
      }
    }
    if (status.ok()) {
      ++report_.cleaned;
      report_.bytesWritten += bytes.size();
      return;
    }
    report_.failures.push_back(SingleFailure{
        SingleFailure::Side::Target,
        FileFailure{target,
                    status.changed() ? FailureReason::FileChanged : FailureReason::CannotWrite,
                    status.changed() ? "" : status.message(), 0, 0}});
  }

  const SingleOptions& options_;
  platform::FileSystem& files_;
  platform::Streams& streams_;
  SingleReport report_;
  std::filesystem::path target_;
  platform::FileIdentity identity_;
  bool readAFile_ = false;
  bool wroteToOutput_ = false;
};

}  // namespace

SourceKind ClassifySource(const std::filesystem::path& source, std::string* message,
                          platform::FileSystem* files) {
  platform::FileSystem& fileSystem = files != nullptr ? *files : platform::DefaultFileSystem();
  platform::PathKind kind = platform::PathKind::Missing;
  const platform::IoStatus inspected = fileSystem.Inspect(source, &kind);
  if (!inspected.ok()) {
    *message = inspected.message();
    return SourceKind::Missing;
  }
  return kind == platform::PathKind::Folder ? SourceKind::Folder : SourceKind::Record;
}

SingleReport RunSingle(const SingleOptions& options) {
  platform::FileSystem& files =
      options.fileSystem != nullptr ? *options.fileSystem : platform::DefaultFileSystem();
  platform::Streams& streams =
      options.streams != nullptr ? *options.streams : platform::DefaultStreams();
  return SingleRun(options, files, streams).Execute();
}

}  // namespace varnoket
