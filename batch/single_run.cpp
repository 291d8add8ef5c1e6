// SPDX-License-Identifier: MIT
#include "batch/single_run.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "batch/collection.h"
#include "batch/write_queue.h"
#include "platform/byte_source.h"
#include "platform/path_text.h"

namespace varnoket {
namespace {

// One run's state: where the record goes and what became of it.
class SingleRun : public CollectionOutput {
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
    CollectionOptions collectionOptions;
    collectionOptions.mode = mode;
    collectionOptions.assumed = options_.assumedCharset ? &*options_.assumedCharset : nullptr;
    collectionOptions.recover = options_.recover;
    collectionOptions.workers =
        options_.jobs != 0 ? options_.jobs : std::max(std::thread::hardware_concurrency(), 1u);
    collectionOptions.sourceSize = readAFile_ ? identity_.size : 0;
    collectionOptions.stop = options_.stop;
    if (options_.onProgress) {
      const std::uint64_t total = collectionOptions.sourceSize;
      collectionOptions.onProgress = [this, total](const CollectionProgress& progress) {
        options_.onProgress(progress, total);
      };
    }
    const CollectionResult collection = CleanCollection(*source, collectionOptions, *this);
    source.reset();
    if (games_) games_->Finish();
    report_.bytesRead = collection.bytesRead;
    if (collection.detection.tried) {
      report_.detected.push_back(FileCharset{options_.fromStandardInput ? "-" : options_.source,
                                             collection.detection.charset});
    }
    std::vector<SingleFailure> failures;
    for (const GameFailure& game : collection.brokenGames) {
      failures.push_back(
          SingleFailure{SingleFailure::Side::Source,
                        FileFailure{options_.source, game.reason, "", game.number, game.offset}});
    }
    report_.interrupted = collection.interrupted;
    if (collection.interrupted) {
      // What was read of the record is not the record: its own file is left
      // as it was. Numbered games already written stay.
      report_.notStarted = hasOwn_ || mode != GameMode::Split || report_.cleaned == 0 ? 1 : 0;
    } else if (!collection.ok) {
      failures.push_back(SingleFailure{
          SingleFailure::Side::Source,
          FileFailure{options_.source, collection.reason, collection.systemMessage, 0, 0}});
    } else if (hasOwn_) {
      FinishOwn();
    }
    if (mode == GameMode::FirstGame && collection.ok && !collection.interrupted) {
      report_.notKept = collection.games - 1;
    }
    if (report_.cleaned != 0) report_.repairs = collection.repairs;
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

  void Own(std::string_view bytes) override {
    if (!hasOwn_) StartOwn();
    hasOwn_ = true;
    own_->Add(bytes);
  }

  void Numbered(std::uint64_t number, std::string* bytes) override {
    const std::filesystem::path target = SplitName(target_, number);
    if (!options_.dryRun && QueueGame(number, target, *bytes)) return;
    Count(target, bytes->size(), WriteWhole(target, *bytes, nullptr));
  }

  // Hands a numbered game to the queue, to be written in the destination's
  // folder, opened once, as a new file made from the source (true); false
  // when that folder cannot be opened, so that WriteWhole says why.
  bool QueueGame(std::uint64_t number, const std::filesystem::path& target,
                 std::string_view bytes) {
    {
      const std::lock_guard<std::mutex> lock(gamesMutex_);
      if (!games_) {
        gamesFolderOpened_ =
            files_
                .OpenFolder(target_.has_parent_path() ? target_.parent_path() : ".", &gamesFolder_)
                .ok();
        games_ = std::make_unique<WriteQueue>(
            files_,
            [this](std::size_t tag, const WriteQueue::Written& written) {
              if (written.stopped) return;  // left as it was, as if never read
              // Only a failure names its file.
              Count(written.status.ok() ? std::filesystem::path() : SplitName(target_, tag),
                    written.size, written.status);
            },
            options_.stop);
      }
    }
    if (!gamesFolderOpened_) return false;
    games_->Write(gamesFolder_, target.filename(), bytes,
                  platform::StageOptions{nullptr, NewFileMode(), false},
                  static_cast<std::size_t>(number));
    return true;
  }

  // Where the record's own cleaned file goes while it grows: standard output
  // or a stream take each part as it comes; a file is staged once it grows
  // large.
  void StartOwn() {
    intoStream_ = !options_.toStandardOutput && files_.KindOf(target_) == platform::PathKind::Other;
    // Cleaning a file in place replaces it only while it is as it was read.
    platform::FileIdentity found;
    inPlace_ = readAFile_ && !options_.toStandardOutput &&
               files_.IdentifyFile(target_, &found).ok() && found.device == identity_.device &&
               found.file == identity_.file;
    streamed_ = std::make_unique<StreamedFile>(
        files_, target_,
        platform::StageOptions{inPlace_ ? &identity_ : nullptr, NewFileMode(), false});
    own_ = std::make_unique<GrowingOutput>([this](std::string_view bytes) {
      if (options_.dryRun) return platform::IoStatus::Ok();
      if (options_.toStandardOutput) return streams_.WriteStandardOutput(bytes);
      if (intoStream_) return streams_.WriteNamedStream(target_, bytes);
      return streamed_->Add(bytes);
    });
  }

  void FinishOwn() {
    platform::IoStatus status = own_->status();
    if (!own_->spilled()) {
      status = WriteWhole(target_, *own_->held(), inPlace_ ? &identity_ : nullptr);
    } else if (status.ok() && !options_.dryRun && !options_.toStandardOutput && !intoStream_) {
      status = streamed_->Commit();
    } else if (status.ok() && options_.dryRun && !options_.toStandardOutput && !intoStream_) {
      status = files_.ProbeWrite(target_);
    }
    Count(target_, own_->size(), status);
  }

  // Writes one whole output to "target" (or standard output), or foresees
  // the failure in a dry run.
  platform::IoStatus WriteWhole(const std::filesystem::path& target, std::string_view bytes,
                                const platform::FileIdentity* read) {
    if (options_.toStandardOutput) {
      return options_.dryRun ? platform::IoStatus::Ok() : streams_.WriteStandardOutput(bytes);
    }
    // A device or a pipe (/dev/null, /dev/stdout, a FIFO) is written into;
    // only a file is replaced, so that the node itself is never swapped out.
    const bool intoStream = files_.KindOf(target) == platform::PathKind::Other;
    if (options_.dryRun) return intoStream ? platform::IoStatus::Ok() : files_.ProbeWrite(target);
    return intoStream ? streams_.WriteNamedStream(target, bytes)
                      : files_.WriteFileAtomically(
                            target, bytes, platform::StageOptions{read, NewFileMode(), false});
  }

  // A new file takes the source file's permission bits with owner write added,
  // so that a read-only source does not make its cleaned copy refuse the next
  // run; else the default.
  std::uint32_t NewFileMode() const { return readAFile_ ? identity_.permissions | 0200 : 0666; }

  // Counts one write; workers may count numbered games at once.
  void Count(const std::filesystem::path& target, std::uint64_t size,
             const platform::IoStatus& status) {
    const std::lock_guard<std::mutex> lock(countMutex_);
    if (status.ok()) {
      ++report_.cleaned;
      report_.bytesWritten += size;
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
  bool hasOwn_ = false;
  bool intoStream_ = false;
  bool inPlace_ = false;
  std::unique_ptr<StreamedFile> streamed_;
  std::unique_ptr<GrowingOutput> own_;
  std::mutex countMutex_;
  // The numbered games' writes, once there is one.
  std::mutex gamesMutex_;
  platform::FolderHandle gamesFolder_;
  bool gamesFolderOpened_ = false;
  std::unique_ptr<WriteQueue> games_;
};

}  // namespace

SourceKind ClassifySource(const std::filesystem::path& source, std::string* message,
                          platform::FileSystem* files) {
  platform::FileSystem& fileSystem = files != nullptr ? *files : platform::DefaultFileSystem();
  platform::PathKind kind = platform::PathKind::Missing;
  const platform::IoStatus inspected = fileSystem.Classify(source, &kind);
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
