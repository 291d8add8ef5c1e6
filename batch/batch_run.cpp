// SPDX-License-Identifier: MIT
#include "batch/batch_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "batch/archive_feed.h"
#include "batch/archive_sink.h"
#include "batch/collection.h"
#include "batch/write_queue.h"
#include "clean/clean_record.h"
#include "platform/byte_source.h"
#include "platform/path_text.h"
#include "platform/text_codec.h"

namespace varnoket {
namespace {

using NativeString = std::filesystem::path::string_type;

// The matching entries of the source tree, collected before any is processed.
// A run may hold hundreds of thousands, so an entry is a few numbers into text
// shared by all: the text before its name (its folder) and the name itself.
class EntryList {
 public:
  // Starts a folder whose entries' paths begin with "pathPrefix", and whose
  // path relative to the source is "relative".
  void AddFolder(NativeString pathPrefix, std::filesystem::path relative) {
    folders_.push_back(Folder{std::move(pathPrefix), std::move(relative)});
  }

  // Adds an entry of the last folder added; "isFile": the listing knows it
  // for a regular file.
  void Add(const NativeString& name, bool isFolder, bool isFile) {
    entries_.push_back(Entry{static_cast<std::uint32_t>(folders_.size() - 1), names_.size(),
                             static_cast<std::uint32_t>(name.size()), isFolder, isFile});
    names_ += name;
  }

  // Orders the entries by folder, in the order the folders were added, then
  // by name.
  void Sort() {
    std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
      if (a.folder != b.folder) return a.folder < b.folder;
      return NameOf(a) < NameOf(b);
    });
  }

  std::size_t size() const { return entries_.size(); }
  bool IsFolder(std::size_t index) const { return entries_[index].isFolder; }
  bool IsFile(std::size_t index) const { return entries_[index].isFile; }

  // The entry's path as the finder built it (absolute).
  std::filesystem::path SourcePath(std::size_t index) const {
    const Entry& entry = entries_[index];
    NativeString path = folders_[entry.folder].pathPrefix;
    path += NameOf(entry);
    return path;
  }

  // The entry's path relative to the source folder.
  std::filesystem::path Name(std::size_t index) const {
    const Entry& entry = entries_[index];
    const std::filesystem::path& relative = folders_[entry.folder].relative;
    const std::filesystem::path name(NameOf(entry));
    return relative.empty() ? name : relative / name;
  }

 private:
  struct Folder {
    NativeString pathPrefix;
    std::filesystem::path relative;
  };
  struct Entry {
    std::uint32_t folder;
    std::size_t nameStart;  // in names_
    std::uint32_t nameSize;
    bool isFolder;
    bool isFile;
  };

  std::basic_string_view<NativeString::value_type> NameOf(const Entry& entry) const {
    return std::basic_string_view<NativeString::value_type>(names_).substr(entry.nameStart,
                                                                           entry.nameSize);
  }

  std::vector<Folder> folders_;
  std::vector<Entry> entries_;
  NativeString names_;
};

// What became of one entry.
struct EntryResult {
  bool cleaned = false;  // its own cleaned file was written
  // Under Split, every game of it went to a numbered file: it has no file of
  // its own to write, and is no failure for that.
  bool splitWhole = false;
  FileFailure failure;  // why it was not cleaned, unless cleaned or splitWhole
  // Counted in the run's progress as it was read; given back if the entry
  // is read again.
  std::uint64_t bytesRead = 0;
  std::uint64_t games = 0;
  std::uint64_t bytesWritten = 0;
  std::size_t gamesWritten = 0;           // Split: numbered files written
  std::vector<FileFailure> gameFailures;  // broken games, numbered files not written
  std::uint64_t notKept = 0;              // FirstGame: further games
  Repairs repairs;                        // what was mended in what was written
};

// Collects the "*.sgf" entries of "source" (and, when recursive, of every
// folder below it, walked with an explicit stack), sorted by folder and name,
// and adds every folder that could not be listed to "*failures". Under a
// recursive walk a folder named like a game file is walked as a folder; the
// folder that receives the results is skipped when it lies inside the source,
// a folder link is passed over with a note unless links are followed, and a
// folder reached again through links is walked once. A stop ends the walk.
// Files named like archives (platform::HasArchiveName) in the folders walked
// go to "*archives", by their paths relative to the source, sorted.
EntryList CollectEntries(const BatchOptions& options, platform::FolderLister& folders,
                         std::vector<FileFailure>* failures, std::vector<RunNote>* notes,
                         std::vector<std::filesystem::path>* archives) {
  const auto stopped = [&options] { return options.stop != nullptr && options.stop->load(); };
  EntryList entries;
  std::set<platform::FolderIdentity> visited;
  std::optional<platform::FolderIdentity> skipped;
  if (options.recursive) {
    platform::FolderIdentity identity;
    if (folders.IdentifyFolder(options.source, &identity).ok()) visited.insert(identity);
    if (folders.IdentifyFolder(options.destination, &identity).ok() &&
        visited.count(identity) == 0) {
      skipped = identity;
    }
  }
  const auto failed = [failures](const std::filesystem::path& relative,
                                 const platform::IoStatus& status) {
    failures->push_back(FileFailure{relative, FailureReason::CannotReadFolder, status.message()});
  };

  // Each pending folder: its path as the listing should see it, and its path
  // relative to the source.
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> pending;
  pending.emplace_back(options.source, std::filesystem::path());
  while (!pending.empty() && !stopped()) {
    // Named variables, not a structured binding: the lambdas below capture them.
    const std::filesystem::path folder = std::move(pending.back().first);
    const std::filesystem::path relative = std::move(pending.back().second);
    pending.pop_back();

    bool folderAdded = false;
    const platform::IoStatus listed =
        folders.ListFolder(folder, "*.sgf", [&](const platform::FolderEntry& entry) {
          if (entry.isFolder && options.recursive) return;  // walked below as a folder
          if (!folderAdded) {
            entries.AddFolder(entry.path.substr(0, entry.path.size() - entry.name.size()),
                              relative);
            folderAdded = true;
          }
          entries.Add(entry.name, entry.isFolder, entry.isFile);
        });
    if (!listed.ok()) {
      failed(relative, listed);
      continue;
    }

    const platform::IoStatus walked =
        folders.ListFolder(folder, "*", [&](const platform::FolderEntry& entry) {
          if (stopped()) return;
          if (!entry.isFolder) {
            if (platform::HasArchiveName(entry.name)) archives->push_back(relative / entry.name);
            return;
          }
          if (!options.recursive) return;
          if (entry.isLink && !options.followLinks) {
            notes->push_back(RunNote{relative / entry.name, false, kFolderLinkNotFollowed});
            return;
          }
          const std::filesystem::path path = entry.path;
          // A folder that cannot be identified is listed all the same, and
          // its listing tells why it fails.
          platform::FolderIdentity identity;
          if (folders.IdentifyFolder(path, &identity).ok() &&
              (identity == skipped || !visited.insert(identity).second)) {
            return;
          }
          pending.emplace_back(path, relative / entry.name);
        });
    if (!walked.ok()) failed(relative, walked);
    if (!options.recursive) break;
  }
  std::sort(archives->begin(), archives->end());
  entries.Sort();
  return entries;
}

// The permission bits of a new file made from a source with "source" (0 when
// unknown). A new file is the user's to rewrite: owner write is added, so
// that a read-only source does not make its cleaned copy refuse the next run.
// Set-user-ID, set-group-ID and sticky bits are dropped where it is made.
std::uint32_t NewFilePermissions(std::uint32_t source) {
  return source != 0 ? source | 0200 : 0666;
}

// The refusal that reaching the folder "relative" below the open
// "destination" meets at a link on the way that the link rule does not follow
// (kLinkNotFollowed), or Ok: nothing stands in the way, or what does is found
// when the folder is created or written into.
platform::IoStatus LinkRefusal(platform::FileSystem& files,
                               const platform::FolderHandle& destination,
                               const std::filesystem::path& relative) {
  if (relative.empty() || !destination.valid()) return platform::IoStatus::Ok();
  platform::FolderHandle below;
  const platform::IoStatus walked = files.OpenSubfolder(destination, relative, false, &below);
  if (!walked.ok() && walked.message() == platform::kLinkNotFollowed) return walked;
  return platform::IoStatus::Ok();
}

// Where an entry cleaned went: to the write queue, which reports it once its
// file is written, or into the EntryResult that the worker reports itself.
enum class Handed : bool { ToResult, ToQueue };

// Shared state of one run's workers.
class Run {
 public:
  // "inPlace": the destination is the source folder, so each file replaces
  // the very file that was read.
  // "destination": the destination folder, open (for a dry run, when it
  // exists, only to foresee links below it; invalid for an archive
  // destination). "destinationCreated": the run created it.
  // With a "feed" the entries come from it, an archive's, instead; with a
  // "sink" the cleaned files go into an archive.
  Run(const BatchOptions& options, platform::FileSystem& files, EntryList entries, bool inPlace,
      platform::FolderHandle destination, bool destinationCreated, ArchiveFeed* feed = nullptr,
      ArchiveSink* sink = nullptr)
      : options_(options),
        files_(files),
        entries_(std::move(entries)),
        inPlace_(inPlace),
        feed_(feed),
        sink_(sink),
        destination_(std::move(destination)),
        destinationCreated_(destinationCreated),
        queue_(
            files,
            [this](std::size_t index, const WriteQueue::Written& written) {
              Written(index, written);
            },
            options.stop) {}

  // The permission bits of the new files made from the feed's entries that
  // carry none of their own.
  void SetFeedPermissions(std::uint32_t permissions) { feedPermissions_ = permissions; }

  // Processes every entry with "workers" threads (the calling thread alone
  // when it is 1) and returns when all are done and written. The games of
  // a collection are cleaned by up to "gameWorkers" threads more, which the
  // entries cleaned at once share, unless they go into an archive, which
  // takes a collection's games in order.
  void Execute(unsigned workers, unsigned gameWorkers) {
    retryAlone_ = workers > 1;
    gameWorkers_ = sink_ != nullptr ? 1 : gameWorkers;
    gameThreads_.store(gameWorkers_);
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < workers; ++i) {
      try {
        threads.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;  // fewer threads than asked still finish the run
      }
    }
    Work();
    for (std::thread& thread : threads) thread.join();
    queue_.Finish();

    // What the run reports cleaned is on disk: one flush of every file
    // system written to.
    if (!flushTargets_.empty()) flushed_ = FlushTargets();
  }

  void FillReport(BatchReport* report) {
    report->found = Total();
    report->cleaned = cleaned_;
    report->recovered = recovered_;
    report->bytesRead = progress_.bytesRead;
    report->bytesWritten = progress_.bytesWritten;
    report->failures = std::move(failures_);
    report->notKept = std::move(notKept_);
    std::sort(report->notKept.begin(), report->notKept.end(),
              [](const GamesNotKept& a, const GamesNotKept& b) { return a.name < b.name; });
    report->notes.insert(report->notes.end(), std::make_move_iterator(notes_.begin()),
                         std::make_move_iterator(notes_.end()));
    std::sort(detected_.begin(), detected_.end(),
              [](const FileCharset& a, const FileCharset& b) { return a.name < b.name; });
    report->detected = std::move(detected_);
    report->notStarted = Total() - progress_.done;
    report->stopped = report->notStarted != 0 || flushStopped_;
    if (flushStopped_) {
      report->notes.push_back(RunNote{std::filesystem::path(), true, kNotFlushed});
    }
    if (!flushed_.ok()) {
      // Nothing written can be called durable.
      report->cleaned = 0;
      report->failures.push_back(
          FileFailure{std::filesystem::path(), FailureReason::CannotWrite, flushed_.message()});
    }
  }

 private:
  void Work() {
    if (feed_ != nullptr) {
      WorkOnFeed();
      return;
    }
    for (;;) {
      if (options_.stop != nullptr && options_.stop->load()) return;
      const std::size_t index = next_.fetch_add(1);
      if (index >= entries_.size()) return;
      if (sink_ != nullptr) sink_->AwaitTurn(index);
      EntryResult result;
      const Handed handed = CleanInTurn(
          false, [&] { return Process(index, &result); }, [] { return true; }, &result);
      if (sink_ != nullptr) sink_->Done(index);
      if (handed == Handed::ToQueue) continue;  // the queue reports it
      result.failure.name = entries_.Name(index);
      Report(&result);
    }
  }

  // Takes the archive's entries one by one until there are none left, or the
  // run is stopped.
  void WorkOnFeed() {
    for (;;) {
      if (options_.stop != nullptr && options_.stop->load()) return;
      if (sink_ != nullptr) sink_->AwaitTurn(feed_->taken());
      ArchiveFeed::Item item;
      if (!feed_->Take(&item)) return;
      const platform::StageOptions stage{
          nullptr, item.permissions != 0 ? NewFilePermissions(item.permissions) : feedPermissions_};
      EntryResult result;
      // An entry too large to be held is cleaned alone: while it is read, the
      // archive is its, and the others could take no new entry anyway.
      const Handed handed = CleanInTurn(
          item.HoldsArchive(),
          [&] {
            // A held entry keeps its bytes, rewound, to be cleaned again.
            return ProcessSource(
                item.index, item.name, *item.data, 0, stage,
                EntryTime{item.modifiedSeconds, item.modifiedNanoseconds},
                [&item] {
                  if (!item.Rewind()) item.data.reset();
                },
                &result);
          },
          [&item] { return item.Rewind(); }, &result);
      item.data.reset();
      if (sink_ != nullptr) sink_->Done(item.index);
      if (handed == Handed::ToQueue) continue;
      result.failure.name = item.name;
      Report(&result);
    }
  }

  // Cleans one entry by "clean", which hands it to the queue or fills
  // "*result", whatever it throws: beside the other workers, or
  // "alone". When it runs out of memory beside them, it is cleaned once more
  // alone, if "rewind" can make its source read again from the start: the
  // others finish the entries in hand and start no new one meanwhile.
  Handed CleanInTurn(bool alone, const std::function<Handed()>& clean,
                     const std::function<bool()>& rewind, EntryResult* result) {
    Enter(alone);
    Handed handed = Attempt(clean, result);
    const bool retry = handed == Handed::ToResult && !alone && retryAlone_ && !result->cleaned &&
                       !result->splitWhole &&
                       result->failure.reason == FailureReason::OutOfMemory && rewind();
    Leave(alone);
    if (!retry) return handed;
    {
      // Read again now.
      const std::lock_guard<std::mutex> lock(progressMutex_);
      progress_.bytesRead -= result->bytesRead;
      progress_.games -= result->games;
    }
    *result = EntryResult();
    Enter(true);
    handed = Attempt(clean, result);
    Leave(true);
    return handed;
  }

  static Handed Attempt(const std::function<Handed()>& clean, EntryResult* result) {
    try {
      return clean();
    } catch (const std::bad_alloc&) {
      *result = EntryResult();
      result->failure.reason = FailureReason::OutOfMemory;
    } catch (const std::exception& error) {
      *result = EntryResult();
      result->failure.reason = FailureReason::CannotRead;
      result->failure.systemMessage = error.what();
    }
    return Handed::ToResult;
  }

  // Starts cleaning an entry, beside the others or alone: no worker starts
  // while one waits to be alone, and that one waits until none is busy.
  void Enter(bool alone) {
    std::unique_lock<std::mutex> lock(turnMutex_);
    turnChanged_.wait(lock, [this] { return !aloneWanted_; });
    if (alone) {
      aloneWanted_ = true;
      turnChanged_.wait(lock, [this] { return busy_ == 0; });
    }
    ++busy_;
  }

  void Leave(bool alone) {
    const std::lock_guard<std::mutex> lock(turnMutex_);
    --busy_;
    if (alone) aloneWanted_ = false;
    turnChanged_.notify_all();
  }

  // The entries found so far: all of a folder's, or those the archive gave.
  std::size_t Total() { return feed_ != nullptr ? feed_->taken() : entries_.size(); }

  std::filesystem::path NameOf(std::size_t index) {
    return feed_ != nullptr ? feed_->NameOf(index) : entries_.Name(index);
  }

  // Reads and cleans one entry, game by game, and hands its own cleaned bytes
  // to the queue (ToQueue), or fills "*result" with why it has none to write
  // (ToResult). Under Split the numbered files of a collection are written here.
  Handed Process(std::size_t index, EntryResult* result) {
    FileFailure& failure = result->failure;
    if (entries_.IsFolder(index)) {
      failure.reason = FailureReason::CannotRead;
      failure.systemMessage = "Is a directory";
      return Handed::ToResult;
    }
    platform::FileIdentity identity;
    std::unique_ptr<platform::ByteSource> source;
    const platform::IoStatus opened =
        files_.OpenFile(entries_.SourcePath(index), &source, &identity, entries_.IsFile(index));
    if (!opened.ok()) {
      failure.reason = FailureReason::CannotRead;
      failure.systemMessage = opened.message();
      return Handed::ToResult;
    }
    EntryTime time;
    if (sink_ != nullptr) platform::ModifiedSinceEpoch(identity, &time.seconds, &time.nanoseconds);
    const platform::StageOptions stage{inPlace_ ? &identity : nullptr,
                                       NewFilePermissions(identity.permissions)};
    return ProcessSource(
        index, entries_.Name(index), *source, identity.size, stage, time,
        [&source] { source.reset(); }, result);
  }

  // When an entry's source was last modified.
  struct EntryTime {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;
  };

  // Cleans the entry "index", named "name", read from "source" ("size" bytes,
  // 0 when unknown); "stage" is
  // how its new files are made (the file read, when cleaning in place, and
  // the permissions); "time" its time, for an archive destination. "release"
  // lets the source go once it is read. "size": the source's, 0 when not
  // known. As Process.
  Handed ProcessSource(std::size_t index, const std::filesystem::path& name,
                       platform::ByteSource& source, std::uint64_t size,
                       platform::StageOptions stage, EntryTime time,
                       const std::function<void()>& release, EntryResult* result) {
    FileFailure& failure = result->failure;
    const std::filesystem::path target = options_.destination / name;
    // The entry's own cleaned file is held in memory, or, once it grows
    // large (a cleaned collection), staged as it grows.
    StreamedFile streamed(files_, target, stage);
    bool folderReady = false;
    std::string toArchive;  // an archive destination's share of a large output
    GrowingOutput own([&](std::string_view bytes) {
      if (options_.dryRun) return platform::IoStatus::Ok();
      if (sink_ != nullptr) {
        toArchive += bytes;
        return platform::IoStatus::Ok();
      }
      if (!folderReady) {
        // In the run's own folder below the destination, not one found by name.
        platform::FolderHandle folder;
        bool created = false;
        const platform::IoStatus status = FolderFor(name.parent_path(), &folder, &created);
        if (!status.ok()) return status;
        streamed.StageIn(folder);
        folderReady = true;
      }
      return streamed.Add(bytes);
    });
    // A numbered game is a new file made from the source, as its own file is
    // when it is not cleaned in place.
    EntryOutput output(*this, index, time, name,
                       platform::StageOptions{nullptr, stage.permissions, false}, &own, result);
    CollectionOptions collectionOptions;
    collectionOptions.mode = options_.games;
    collectionOptions.assumed = options_.assumedCharset ? &*options_.assumedCharset : nullptr;
    collectionOptions.workers = gameWorkers_;
    collectionOptions.recover = options_.recover;
    collectionOptions.sourceSize = size;
    collectionOptions.threadBudget = &gameThreads_;
    ReadProgress read(*this, size);
    collectionOptions.onProgress = [&read](const CollectionProgress& progress) {
      read.Update(progress);
    };
    const CollectionResult collection = CleanCollection(source, collectionOptions, output);
    release();
    read.Update(CollectionProgress{collection.bytesRead, collection.games});
    result->bytesRead = collection.bytesRead;
    result->games = collection.games;
    // A file that ran out of memory is cleaned again, and reported then.
    if (collection.detection.tried &&
        (collection.ok || collection.reason != FailureReason::OutOfMemory)) {
      std::lock_guard<std::mutex> lock(progressMutex_);
      detected_.push_back(FileCharset{name, collection.detection.charset});
    }
    for (const GameFailure& game : collection.brokenGames) {
      result->gameFailures.push_back(FileFailure{name, game.reason, "", game.number, game.offset});
    }
    if (options_.games == GameMode::FirstGame && collection.ok) {
      result->notKept = collection.games - 1;
    }
    result->repairs = collection.repairs;
    if (!collection.ok) {
      failure.reason = collection.reason;
      failure.systemMessage = collection.systemMessage;
      return Handed::ToResult;
    }
    if (!output.hasOwn()) {
      result->splitWhole = true;
      return Handed::ToResult;
    }
    if (sink_ != nullptr) {
      // The file goes into the archive in its turn (ArchiveSink).
      if (!options_.dryRun) {
        if (!own.spilled()) toArchive = std::move(*own.held());
        sink_->Put(index, name, std::move(toArchive), time.seconds, time.nanoseconds);
      }
      result->cleaned = true;
      result->bytesWritten = own.size();
      return Handed::ToResult;
    }
    if (options_.dryRun) {
      const platform::IoStatus foreseen = Foresee(name);
      if (!foreseen.ok()) {
        failure.reason = FailureReason::CannotWrite;
        failure.systemMessage = foreseen.message();
        return Handed::ToResult;
      }
      result->bytesWritten = own.size();
      result->cleaned = true;
      return Handed::ToResult;
    }
    if (own.spilled()) {
      platform::IoStatus status = own.status();
      if (status.ok()) status = streamed.Commit();
      if (status.ok()) {
        result->cleaned = true;
        result->bytesWritten = own.size();
      } else {
        failure.reason = status.changed() ? FailureReason::FileChanged : FailureReason::CannotWrite;
        if (!status.changed()) failure.systemMessage = status.message();
      }
      return Handed::ToResult;
    }
    platform::FolderHandle folder;
    const platform::IoStatus created = FolderFor(name.parent_path(), &folder, &stage.nameIsFree);
    if (!created.ok()) {
      failure.reason = FailureReason::CannotWrite;
      failure.systemMessage = created.message();
      return Handed::ToResult;
    }
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      if (!result->gameFailures.empty() || result->notKept != 0 || result->repairs.any()) {
        EntryResult& held = held_[index];
        held.gameFailures = std::move(result->gameFailures);
        held.notKept = result->notKept;
        held.repairs = result->repairs;
      }
    }
    queue_.Write(folder, name.filename(), *own.held(), stage, index);
    return Handed::ToQueue;
  }

  // Counts what one entry has read in the run's progress as it goes, and
  // shows it while the entry is larger than one block of reading.
  class ReadProgress {
   public:
    ReadProgress(Run& run, std::uint64_t size) : run_(run), size_(size) {}
    ~ReadProgress() {
      if (!large_) return;
      const std::lock_guard<std::mutex> lock(run_.progressMutex_);
      run_.progress_.largeSize -= size_;
      run_.progress_.largeRead -= counted_.bytesRead;
    }
    ReadProgress(const ReadProgress&) = delete;
    ReadProgress& operator=(const ReadProgress&) = delete;

    // The entry has read "progress" so far.
    void Update(const CollectionProgress& progress) {
      const std::lock_guard<std::mutex> lock(run_.progressMutex_);
      BatchProgress& shown = run_.progress_;
      const std::uint64_t bytes = progress.bytesRead - counted_.bytesRead;
      shown.bytesRead += bytes;
      shown.games += progress.games - counted_.games;
      if (!large_ && progress.bytesRead < size_) {
        large_ = true;
        shown.largeSize += size_;
        shown.largeRead += counted_.bytesRead;
      }
      if (large_) shown.largeRead += bytes;
      counted_ = progress;
      if (large_ && run_.options_.onProgress) run_.options_.onProgress(shown);
    }

   private:
    Run& run_;
    const std::uint64_t size_;
    bool large_ = false;
    CollectionProgress counted_;
  };

  // The folder under the destination that mirrors the one of "name".
  platform::IoStatus MirrorFolderOf(const std::filesystem::path& name) {
    platform::FolderHandle folder;
    bool created = false;
    return FolderFor(name.parent_path(), &folder, &created);
  }

  // Where the games of one entry go: its own file, or numbered files.
  class EntryOutput : public CollectionOutput {
   public:
    EntryOutput(Run& run, std::size_t index, EntryTime time, const std::filesystem::path& name,
                platform::StageOptions gameStage, GrowingOutput* own, EntryResult* result)
        : run_(run),
          index_(index),
          time_(time),
          name_(name),
          gameStage_(gameStage),
          own_(own),
          result_(result) {}
    void Own(std::string_view bytes) override {
      hasOwn_ = true;
      own_->Add(bytes);
    }
    void Numbered(std::uint64_t number, std::string* bytes) override {
      // Several workers may write numbered games at once.
      const std::filesystem::path name = SplitName(name_, number);
      if (run_.QueueGame(name, *bytes, gameStage_)) return;  // the queue reports it
      const platform::IoStatus status = run_.WriteGame(index_, time_, name, bytes);
      const std::lock_guard<std::mutex> lock(mutex_);
      if (status.ok()) {
        ++result_->gamesWritten;
        result_->bytesWritten += bytes->size();
        return;
      }
      result_->gameFailures.push_back(FileFailure{
          name, status.changed() ? FailureReason::FileChanged : FailureReason::CannotWrite,
          status.changed() ? "" : status.message(), 0, 0});
    }
    bool hasOwn() const { return hasOwn_; }

   private:
    Run& run_;
    std::size_t index_;
    EntryTime time_;
    const std::filesystem::path& name_;
    platform::StageOptions gameStage_;
    GrowingOutput* own_;
    EntryResult* result_;
    bool hasOwn_ = false;
    std::mutex mutex_;
  };

  // Hands one numbered game of a collection under Split to the queue, to be
  // written in its folder as the run's own files are (true), or leaves it to
  // WriteGame (false): for a dry run, an archive destination, or a folder
  // that cannot be made.
  bool QueueGame(const std::filesystem::path& name, std::string_view bytes,
                 const platform::StageOptions& stage) {
    if (options_.dryRun || sink_ != nullptr) return false;
    platform::FolderHandle folder;
    platform::StageOptions options = stage;
    if (!FolderFor(name.parent_path(), &folder, &options.nameIsFree).ok()) return false;
    std::size_t tag = 0;
    {
      const std::lock_guard<std::mutex> lock(progressMutex_);
      tag = kGameTag | nextGame_++;
      games_.emplace(tag, name);
    }
    queue_.Write(folder, name.filename(), bytes, options, tag);
    return true;
  }

  // Writes one numbered game of a collection under Split that QueueGame left,
  // or in a dry run foresees its failure.
  platform::IoStatus WriteGame(std::size_t index, EntryTime time, const std::filesystem::path& name,
                               std::string* game) {
    if (sink_ != nullptr) {
      if (!options_.dryRun) sink_->Put(index, name, *game, time.seconds, time.nanoseconds);
      return platform::IoStatus::Ok();
    }
    if (options_.dryRun) return Foresee(name);
    return MirrorFolderOf(name);
  }

  // The queue's report on one entry's write. One the queue discarded when
  // the run was stopped is left as it was, and counted as not started.
  void Written(std::size_t index, const WriteQueue::Written& written) {
    if ((index & kGameTag) != 0) {
      GameWritten(index, written);
      return;
    }
    const platform::IoStatus& status = written.status;
    EntryResult result;
    result.failure.name = NameOf(index);
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      if (written.stopped) {
        held_.erase(index);
        return;
      }
      const auto held = held_.find(index);
      if (held != held_.end()) {
        result.gameFailures = std::move(held->second.gameFailures);
        result.notKept = held->second.notKept;
        result.repairs = held->second.repairs;
        held_.erase(held);
      }
    }
    if (status.ok()) {
      result.cleaned = true;
      result.bytesWritten = written.size;
      if (!written.note.empty()) {
        std::lock_guard<std::mutex> lock(progressMutex_);
        notes_.push_back(RunNote{NameOf(index), true, written.note});
      }
    } else {
      if (status.changed()) {
        result.failure.reason = FailureReason::FileChanged;
      } else {
        result.failure.reason = FailureReason::CannotWrite;
        result.failure.systemMessage = status.message();
      }
    }
    Report(&result);
  }

  // The queue's report on one numbered game: counted at once, apart from the
  // entry it came from.
  void GameWritten(std::size_t tag, const WriteQueue::Written& written) {
    const std::lock_guard<std::mutex> lock(progressMutex_);
    const auto found = games_.find(tag);
    std::filesystem::path name = std::move(found->second);
    games_.erase(found);
    const platform::IoStatus& status = written.status;
    if (status.ok()) {
      ++cleaned_;
      progress_.bytesWritten += written.size;
      if (!written.note.empty()) notes_.push_back(RunNote{name, true, written.note});
      return;
    }
    failures_.push_back(FileFailure{
        std::move(name), status.changed() ? FailureReason::FileChanged : FailureReason::CannotWrite,
        status.changed() ? "" : status.message(), 0, 0});
  }

  // A dry run's stand-in for saving "name": the failure that reaching its
  // folder below the destination (links on the way), creating what is missing
  // and writing the file would meet first, if it can be foreseen.
  platform::IoStatus Foresee(const std::filesystem::path& name) {
    {
      std::lock_guard<std::mutex> lock(foldersMutex_);
      const auto [found, added] = foreseenFolders_.try_emplace(name.parent_path());
      if (added) found->second = LinkRefusal(files_, destination_, name.parent_path());
      if (!found->second.ok()) return found->second;
    }
    const std::filesystem::path target = options_.destination / name;
    const std::filesystem::path folder = target.parent_path();
    return files_.KindOf(folder) == platform::PathKind::Folder ? files_.ProbeWrite(target)
                                                               : files_.ProbeCreateFolders(folder);
  }

  // The open folder "relative" below the destination, created when missing:
  // opened once, whichever worker needs it first, and kept while the run
  // works in it (the entries come folder by folder). The first time, the
  // leftover temporaries of killed runs are removed from it, and its file
  // system is noted for the final flush.
  // "*created": the run created it, so that nothing stands under the names it
  // gives.
  platform::IoStatus FolderFor(const std::filesystem::path& relative,
                               platform::FolderHandle* folder, bool* created) {
    if (relative.empty()) {
      *folder = destination_;
      *created = destinationCreated_;
      std::call_once(destinationSeen_, [this] { FirstSeen(destination_, destinationCreated_); });
      return platform::IoStatus::Ok();
    }
    std::lock_guard<std::mutex> lock(foldersMutex_);
    const auto found = openFolders_.find(relative);
    if (found != openFolders_.end()) {
      *folder = found->second.folder;
      *created = found->second.folder.created();
      return found->second.status;
    }
    OpenedFolder opened;
    opened.status = files_.OpenSubfolder(destination_, relative, /*create=*/true, &opened.folder);
    if (opened.status.ok() && seenFolders_.insert(relative).second) {
      FirstSeen(opened.folder, opened.folder.created());
    }
    *created = opened.folder.created();
    *folder = opened.folder;
    const platform::IoStatus status = opened.status;
    openFolders_.emplace(relative, std::move(opened));
    openOrder_.push_back(relative);
    if (openOrder_.size() > kOpenFolders) {
      openFolders_.erase(openOrder_.front());
      openOrder_.pop_front();
    }
    return status;
  }

  // Flushes every file system written to. A stop while it waits ends the
  // wait at once: the flush goes on by itself, and the report says the run
  // ended before it did.
  platform::IoStatus FlushTargets() {
    if (options_.stop == nullptr) return files_.FlushFolders(flushTargets_);
    auto done = std::make_shared<std::promise<platform::IoStatus>>();
    std::future<platform::IoStatus> flushed = done->get_future();
    try {
      std::thread([&files = files_, targets = flushTargets_, done] {
        try {
          done->set_value(files.FlushFolders(targets));
        } catch (const std::exception& error) {
          done->set_value(platform::IoStatus::Error(error.what()));
        }
      }).detach();
    } catch (const std::system_error&) {
      return files_.FlushFolders(flushTargets_);
    }
    while (flushed.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
      if (options_.stop->load()) {
        flushStopped_ = true;
        return platform::IoStatus::Ok();
      }
    }
    return flushed.get();
  }

  // Once per folder written to. Holds foldersMutex_ or runs once.
  void FirstSeen(const platform::FolderHandle& folder, bool created) {
    // A folder that cannot be listed is no reason to fail the writes; one
    // the run created holds nothing.
    if (!created) (void)files_.RemoveLeftoverTemporaries(folder.path());
    std::lock_guard<std::mutex> lock(flushMutex_);
    for (const platform::FolderHandle& target : flushTargets_) {
      if (target.device() == folder.device()) return;
    }
    flushTargets_.push_back(folder);
  }

  // Counts the entry, keeps its failure, and calls back.
  void Report(EntryResult* result) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    ++progress_.done;
    progress_.total = Total();
    progress_.bytesWritten += result->bytesWritten;
    if (result->cleaned) ++cleaned_;
    cleaned_ += result->gamesWritten;
    if (!result->cleaned && !result->splitWhole) failures_.push_back(std::move(result->failure));
    for (FileFailure& failure : result->gameFailures) failures_.push_back(std::move(failure));
    if (result->notKept != 0) {
      notKept_.push_back(GamesNotKept{result->failure.name, result->notKept});
    }
    if ((result->cleaned || result->gamesWritten != 0) && result->repairs.any()) {
      ++recovered_;
      notes_.push_back(RunNote{result->failure.name, false, RecoveredNote(result->repairs)});
    }
    if (options_.onProgress) options_.onProgress(progress_);
  }

  const BatchOptions& options_;
  platform::FileSystem& files_;
  const EntryList entries_;
  const bool inPlace_;
  ArchiveFeed* const feed_;
  std::uint32_t feedPermissions_ = 0666;
  // With a sink, the cleaned files go into an archive, not onto the disk.
  ArchiveSink* const sink_;
  std::atomic<std::size_t> next_{0};
  // The queue's tags of numbered games have this bit set; each one's name is
  // kept until it is written.
  static constexpr std::size_t kGameTag = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
  std::size_t nextGame_ = 0;
  std::map<std::size_t, std::filesystem::path> games_;

  bool retryAlone_ = false;
  // Workers cleaning an entry, and whether one waits to clean alone.
  std::mutex turnMutex_;
  std::condition_variable turnChanged_;
  unsigned busy_ = 0;
  bool aloneWanted_ = false;
  // Threads that clean the games of one collection, and those not taken.
  unsigned gameWorkers_ = 1;
  std::atomic<unsigned> gameThreads_{0};

  std::mutex progressMutex_;
  BatchProgress progress_;
  std::vector<FileFailure> failures_;
  std::vector<GamesNotKept> notKept_;
  std::size_t cleaned_ = 0;
  std::size_t recovered_ = 0;
  // What entries handed to the queue found besides their own file, until
  // they are written.
  std::map<std::size_t, EntryResult> held_;
  std::vector<FileCharset> detected_;

  // The folders below the destination kept open, the oldest first out.
  static constexpr std::size_t kOpenFolders = 64;
  struct OpenedFolder {
    platform::IoStatus status;
    platform::FolderHandle folder;
  };
  const platform::FolderHandle destination_;
  const bool destinationCreated_;
  std::once_flag destinationSeen_;
  std::mutex foldersMutex_;
  std::map<std::filesystem::path, OpenedFolder> openFolders_;
  std::deque<std::filesystem::path> openOrder_;
  std::set<std::filesystem::path> seenFolders_;
  // A dry run's folders below the destination, with the link refusal met on
  // the way to each.
  std::map<std::filesystem::path, platform::IoStatus> foreseenFolders_;

  // One folder of each file system written to, for the final flush.
  std::mutex flushMutex_;
  std::vector<platform::FolderHandle> flushTargets_;
  platform::IoStatus flushed_;
  bool flushStopped_ = false;  // the run was stopped while it flushed
  std::vector<RunNote> notes_;

  // Last, so that it finishes its writes while the rest is still alive.
  WriteQueue queue_;
};

// What cleaning a record in memory came to, by its status.
BatchCleaning ResultOf(RecordStatus status, const CharsetDetection& detection,
                       const Repairs& repairs) {
  BatchCleaning result;
  result.detection = detection;
  result.repairs = repairs;
  switch (status) {
    case RecordStatus::Cleaned:
      result.ok = true;
      break;
    case RecordStatus::NoGameFound:
      result.reason = FailureReason::NoGameFound;
      break;
    case RecordStatus::CutShort:
      result.reason = FailureReason::CutShort;
      break;
    case RecordStatus::TooLarge:
      result.reason = FailureReason::TooLarge;
      break;
    case RecordStatus::OutOfMemory:
      result.reason = FailureReason::OutOfMemory;
      break;
  }
  return result;
}

// CleanRecord into "output" (a string or a part callback), as CleanInBatch.
template <typename Output>
BatchCleaning CleanInto(std::string_view input, Output output, const AssumedCharset* assumed,
                        bool recover) {
  CharsetDetection detection;
  Repairs repairs;
  const RecordStatus status = CleanRecord(input, output, assumed, &detection,
                                          platform::SystemCodePage(), recover ? &repairs : nullptr);
  return ResultOf(status, detection, repairs);
}

}  // namespace

BatchCleaning CleanInBatch(std::string_view input, std::string* output,
                           const AssumedCharset* assumed, bool recover) {
  return CleanInto(input, output, assumed, recover);
}

BatchCleaning CleanInBatch(std::string_view input,
                           const std::function<void(std::string_view part)>& part,
                           const AssumedCharset* assumed, bool recover) {
  return CleanInto<const CleanedParts&>(input, part, assumed, recover);
}

std::string RecoveredNote(const Repairs& repairs) {
  std::string text = "recovered:";
  const auto add = [&text](const std::string& what) {
    text += text.back() == ':' ? " " : ", ";
    text += what;
  };
  if (repairs.utf16) add("UTF-16 without a byte-order mark");
  if (repairs.lowerCaseNames) add("lower-case property names");
  if (repairs.missingNodes) add("'(' without ';'");
  if (repairs.strayBytes) add("stray bytes skipped");
  if (repairs.cutShort) {
    add(repairs.movesKept == 0 ? std::string("cut short before its first move")
                               : "cut short after move " + std::to_string(repairs.movesKept));
  }
  return text;
}

namespace {

// Where a run inside another one, over an archive met in the source folder,
// writes: the outer run's archive, or a folder below its destination.
struct InnerDestination {
  ArchiveSink* sink = nullptr;
  // The outer run's destination folder, open (invalid in a dry run), and the
  // path of the inner run's folder below it.
  platform::FolderHandle outer;
  std::filesystem::path relative;
};

BatchReport RunBatchInto(const BatchOptions& options, const InnerDestination* inner);

// "relative" joined to "name" as text: an archive's refused entry may carry
// an absolute name, which must not replace the rest.
std::filesystem::path Joined(const std::filesystem::path& relative,
                             const std::filesystem::path& name) {
  if (name.empty()) return relative;
  std::filesystem::path::string_type text = relative.native();
  text += std::filesystem::path::preferred_separator;
  text += name.native();
  return text;
}

// Cleans the archive "relative" of the source folder into the folder of the
// same name under the destination, or under that name into "sink", and adds
// what it did to "*report", its entries named "relative/entry".
// "destination": the destination folder, open (invalid when it does not
// exist, or for an archive destination), below which the archive's folder is
// first looked up as the run's own files are, so that a link planted there by
// another user is not written through, nor foreseen as written by a dry run.
void CleanArchiveInFolder(const BatchOptions& options, const std::filesystem::path& relative,
                          platform::FileSystem& files, const platform::FolderHandle& destination,
                          ArchiveSink* sink, BatchReport* report) {
  // What is missing is created below as plain folders.
  const platform::IoStatus checked = LinkRefusal(files, destination, relative);
  if (!checked.ok()) {
    report->failures.push_back(
        FileFailure{relative, FailureReason::CannotWrite, checked.message()});
    return;
  }
  BatchOptions inner = options;
  inner.source = options.source / relative;
  // The trailing separator keeps a folder named "x.zip" a folder.
  inner.destination = options.destination / relative / "";
  inner.createDestination = true;
  inner.openArchives = false;
  inner.onProgress = nullptr;
  if (sink != nullptr) sink->BeginRun(relative);
  const InnerDestination into{sink, destination, relative};
  BatchReport done = RunBatchInto(inner, &into);
  if (done.outcome == RunOutcome::NotAnArchive) {
    report->failures.push_back(
        FileFailure{relative, FailureReason::CannotRead, "not an archive Varnoket can read"});
    return;
  }
  if (done.outcome != RunOutcome::Completed) {
    report->failures.push_back(
        FileFailure{relative, FailureReason::CannotWrite, done.systemMessage});
    return;
  }
  report->found += done.found;
  report->cleaned += done.cleaned;
  report->stopped = report->stopped || done.stopped;
  report->notStarted += done.notStarted;
  report->recovered += done.recovered;
  report->bytesRead += done.bytesRead;
  report->bytesWritten += done.bytesWritten;
  // Every named item of the archive's run, named under "relative".
  const auto moveUnder = [&relative](auto& from, auto& to) {
    for (auto& item : from) {
      item.name = Joined(relative, item.name);
      to.push_back(std::move(item));
    }
  };
  moveUnder(done.failures, report->failures);
  moveUnder(done.notKept, report->notKept);
  moveUnder(done.detected, report->detected);
  moveUnder(done.notes, report->notes);
}

BatchReport RunBatchInto(const BatchOptions& options, const InnerDestination* inner) {
  BatchReport report;
  report.source = options.source;
  report.destination = options.destination;
  if (options.source.empty()) {
    report.outcome = RunOutcome::NoSourceGiven;
    return report;
  }
  if (options.destination.empty()) {
    report.outcome = RunOutcome::NoDestinationGiven;
    return report;
  }
  // A bare drive ("C:") names that drive's root on Windows: its text and a
  // separator make "C:\a.sgf".
  BatchOptions resolved = options;
  resolved.source = platform::AsFolder(options.source);
  resolved.destination = platform::AsFolder(options.destination);
  platform::FileSystem& files =
      options.fileSystem != nullptr ? *options.fileSystem : platform::DefaultFileSystem();
  platform::Archives& archives =
      options.archives != nullptr ? *options.archives : platform::DefaultArchives();
  // An archive destination is a new archive; the folder that holds it is as
  // a destination folder.
  const std::optional<platform::ArchiveKind> archiveKind =
      inner == nullptr && IsArchiveDestination(options.destination, &files)
          ? platform::ArchiveKindOfName(options.destination)
          : std::nullopt;

  const platform::PathKind sourceKind = files.KindOf(options.source);
  std::unique_ptr<platform::ArchiveReader> reader;
  platform::IoStatus opened;
  // A file that is no archive, cleaned into an archive destination.
  bool singleFile = false;
  if (sourceKind == platform::PathKind::File) {
    resolved.source = options.source;
    bool isArchive = false;
    opened = archives.Open(options.source, {options.archiveNameCharset}, &reader, &isArchive);
    if (!isArchive) {
      // Named like an archive, it gets the reason; any other file is no
      // source folder, unless it goes into an archive.
      const bool namedLikeArchive = platform::HasArchiveName(options.source);
      singleFile = opened.ok() && !namedLikeArchive && archiveKind.has_value();
      if (!singleFile) {
        report.outcome =
            opened.ok() && namedLikeArchive ? RunOutcome::NotAnArchive : RunOutcome::SourceNotFound;
        report.systemMessage = opened.message();
        return report;
      }
    }
  } else if (files.KindOf(resolved.source) != platform::PathKind::Folder) {
    report.outcome = RunOutcome::SourceNotFound;
    return report;
  }
  const bool archiveSource = sourceKind == platform::PathKind::File && !singleFile;
  const std::filesystem::path outputFolder =
      archiveKind ? platform::AsFolder(options.destination.has_parent_path()
                                           ? options.destination.parent_path()
                                           : std::filesystem::path("."))
                  : resolved.destination;
  bool destinationCreated = false;
  if (inner == nullptr && files.KindOf(outputFolder) != platform::PathKind::Folder) {
    destinationCreated = !options.dryRun;
    if (!options.createDestination) {
      report.outcome = RunOutcome::DestinationNotFound;
      return report;
    }
    const platform::IoStatus created =
        options.dryRun ? files.ProbeCreateFolders(outputFolder) : files.CreateFolders(outputFolder);
    if (!created.ok()) {
      report.outcome = RunOutcome::CannotCreateDestination;
      report.systemMessage = created.message();
      return report;
    }
  }
  // New files made from an archive or a single file take its permission bits
  // as a folder's files do, unless an entry carries its own.
  std::uint32_t sourcePermissions = NewFilePermissions(0);
  if (sourceKind == platform::PathKind::File) {
    platform::FileIdentity identity;
    if (files.IdentifyFile(options.source, &identity).ok()) {
      sourcePermissions = NewFilePermissions(identity.permissions);
    }
  }

  // The destination: an archive, written as the files come, and named only
  // when complete (a dry run foresees it); the outer run's archive; or the
  // destination folder, opened once (below the outer run's, by its handle,
  // for an inner run).
  std::optional<ArchiveSink> ownSink;
  ArchiveSink* sink = inner != nullptr ? inner->sink : nullptr;
  platform::FolderHandle destination;
  if (archiveKind) {
    ownSink.emplace(options.stop);
    sink = &*ownSink;
    platform::IoStatus started;
    if (options.dryRun) {
      started = files.ProbeWrite(options.destination);
    } else {
      // Created relative to the folder that holds it, as the run's files
      // are; a new archive takes the source's permission bits, as a file
      // cleaned from it would.
      platform::FolderHandle folder;
      started = files.OpenFolder(outputFolder, &folder);
      if (started.ok()) {
        started = ownSink->Open(archives, files, folder, options.destination.filename(),
                                platform::StageOptions{nullptr, sourcePermissions}, *archiveKind);
      }
    }
    if (!started.ok()) {
      report.failures.push_back(FileFailure{{}, FailureReason::CannotWrite, started.message()});
      return report;
    }
    ownSink->BeginRun({});
  } else if (!options.dryRun && sink == nullptr) {
    const platform::IoStatus openedFolder =
        inner != nullptr
            ? files.OpenSubfolder(inner->outer, inner->relative, /*create=*/true, &destination)
            : files.OpenFolder(resolved.destination, &destination);
    if (!openedFolder.ok()) {
      report.outcome =
          inner != nullptr ? RunOutcome::CannotCreateDestination : RunOutcome::DestinationNotFound;
      report.systemMessage = openedFolder.message();
      return report;
    }
    if (inner != nullptr) destinationCreated = destination.created();
  } else if (!sink && !destinationCreated &&
             files.KindOf(resolved.destination) == platform::PathKind::Folder) {
    // A dry run looks below it for the links a real run would refuse.
    (void)files.OpenFolder(resolved.destination, &destination);
  }

  const std::size_t asked = std::max<std::size_t>(
      options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency(), 1);
  std::vector<FileFailure> folderFailures;
  if (archiveSource) {
    // An archive: its entries, as the feed hands them out.
    ArchiveFeed feed(std::move(reader), options.recursive, options.maxArchiveEntryBytes);
    if (opened.ok()) {
      Run run(resolved, files, EntryList(), false, destination, destinationCreated, &feed, sink);
      run.SetFeedPermissions(sourcePermissions);
      // One worker more than asked: whichever is reading the archive, as
      // many as asked can clean at the same time.
      run.Execute(static_cast<unsigned>(asked + 1), 1);
      run.FillReport(&report);
    }
    report.subfolderEntries = feed.subfolderEntries();
    folderFailures = feed.TakeFailures();
    if (!opened.ok()) {
      folderFailures.push_back(FileFailure{{}, FailureReason::DamagedArchive, opened.message()});
    }
  }

  platform::FolderLister& folders =
      options.folderLister != nullptr ? *options.folderLister : platform::DefaultFolderLister();
  EntryList entries;
  std::vector<std::filesystem::path> archiveFiles;
  if (sourceKind == platform::PathKind::Folder) {
    entries = CollectEntries(resolved, folders, &folderFailures, &report.notes, &archiveFiles);
  } else if (singleFile) {
    // The file alone, under its own name.
    const std::filesystem::path name = options.source.filename();
    entries.AddFolder((options.source.parent_path() / "").native(), {});
    entries.Add(name.native(), false, true);
  }
  if (!archiveSource) {
    const std::size_t workers =
        std::min<std::size_t>(asked, std::max<std::size_t>(entries.size(), 1));
    // Cleaning in place replaces each file only while it is as it was read.
    platform::FolderIdentity sourceFolder;
    platform::FolderIdentity destinationFolder;
    const bool inPlace = !singleFile &&
                         folders.IdentifyFolder(resolved.source, &sourceFolder).ok() &&
                         folders.IdentifyFolder(resolved.destination, &destinationFolder).ok() &&
                         sourceFolder == destinationFolder;
    Run run(resolved, files, std::move(entries), inPlace, destination, destinationCreated, nullptr,
            sink);
    run.Execute(static_cast<unsigned>(workers), static_cast<unsigned>(asked));
    run.FillReport(&report);
  }
  if (!options.openArchives) {
    report.archivesLeft = archiveFiles.size();
  } else {
    for (const std::filesystem::path& archive : archiveFiles) {
      if (options.stop != nullptr && options.stop->load()) {
        // The archives not opened make the run a stopped one.
        report.stopped = true;
        break;
      }
      CleanArchiveInFolder(resolved, archive, files, destination, sink, &report);
    }
  }
  if (ownSink && !report.stopped) {
    const platform::IoStatus written = ownSink->Commit();
    if (!written.ok()) {
      report.failures.push_back(FileFailure{{}, FailureReason::CannotWrite, written.message()});
      report.cleaned = 0;
      report.bytesWritten = 0;
    }
  }
  report.failures.insert(report.failures.end(), std::make_move_iterator(folderFailures.begin()),
                         std::make_move_iterator(folderFailures.end()));
  std::stable_sort(report.failures.begin(), report.failures.end(),
                   [](const FileFailure& a, const FileFailure& b) {
                     if (a.name != b.name) return a.name < b.name;
                     return a.game < b.game;
                   });
  std::sort(report.notes.begin(), report.notes.end(),
            [](const RunNote& a, const RunNote& b) { return a.name < b.name; });
  return report;
}

}  // namespace

bool IsArchiveFile(const std::filesystem::path& path, platform::Archives* archives) {
  // A pipe or a device is never read ahead: its bytes would be spent.
  if (platform::DefaultFileSystem().KindOf(path) != platform::PathKind::File) return false;
  platform::Archives& used = archives != nullptr ? *archives : platform::DefaultArchives();
  std::unique_ptr<platform::ArchiveReader> reader;
  bool isArchive = false;
  used.Open(path, {}, &reader, &isArchive);
  return isArchive;
}

BatchReport RunBatch(const BatchOptions& options) { return RunBatchInto(options, nullptr); }

bool IsArchiveDestination(const std::filesystem::path& destination, platform::FileSystem* files) {
  platform::FileSystem& used = files != nullptr ? *files : platform::DefaultFileSystem();
  return platform::ArchiveKindOfName(destination).has_value() &&
         used.KindOf(destination) != platform::PathKind::Folder;
}

}  // namespace varnoket
