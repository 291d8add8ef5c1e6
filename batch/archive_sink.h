// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_ARCHIVE_SINK_H_
#define VARNOKET_BATCH_ARCHIVE_SINK_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/archive.h"
#include "platform/file_system.h"

namespace varnoket {

// The cleaned files of a run whose destination is an archive, handed in by
// the workers in any order and written into the archive as soon as every
// entry before theirs is done, in the source's order: by entry, then in the
// order each entry gave its files. The same files give the same archive
// bytes. One worker at a time writes into the archive while the others
// clean. Workers wait (AwaitTurn) before they start an entry too far ahead of
// the oldest one not done, or while the files whose turn has come are more
// than the archive has yet taken in (a slow compressor), so that what waits
// stays bounded.
class ArchiveSink {
 public:
  // Entries that may be done ahead of the oldest one not done, and the bytes
  // they may hold while they wait.
  static constexpr std::size_t kWindowEntries = 64;
  static constexpr std::size_t kWindowBytes = 64 << 20;
  // The bytes of files whose turn has come that may wait to be written.
  static constexpr std::size_t kReadyBytes = 8 << 20;

  // Once "*stop" is true (null: never), files stop going into the archive
  // and AwaitTurn no longer waits; Commit writes what is left.
  explicit ArchiveSink(const std::atomic<bool>* stop) : stop_(stop) {}

  // Starts a new archive of "kind" named "name" in "folder", staged through
  // "files" as "stage" says; it takes that name only at Commit. Without a
  // call to Open (a dry run), files handed in are dropped.
  platform::IoStatus Open(platform::Archives& archives, platform::FileSystem& files,
                          const platform::FolderHandle& folder, const std::filesystem::path& name,
                          const platform::StageOptions& stage, platform::ArchiveKind kind);

  // Starts the entries of one run, numbered from 0, their files named under
  // "prefix" (empty for none). Every entry of the run before must be done.
  void BeginRun(const std::filesystem::path& prefix);

  // Blocks until entry "index" may start: it is the oldest not done, or close
  // enough behind it with room left, and the archive is not far behind.
  void AwaitTurn(std::size_t index);

  // Adds the file "name" (relative) of entry "index", with the source's time.
  void Put(std::size_t index, const std::filesystem::path& name, std::string bytes,
           std::int64_t modifiedSeconds, std::int32_t modifiedNanoseconds);

  // Entry "index" has given all its files (or none).
  void Done(std::size_t index);

  // Completes the archive and puts it under its name. The first failure to
  // write any file fails it, and the target is then left as it was.
  platform::IoStatus Commit();

 private:
  struct File {
    std::string name;  // UTF-8, "/" between folders
    std::string bytes;
    std::int64_t modifiedSeconds = 0;
    std::int32_t modifiedNanoseconds = 0;
  };
  struct Waiting {
    std::vector<File> files;
    bool done = false;
  };

  // Writes the files ready, unless another worker is at it or the run is
  // stopped. Called with "*lock" held; returns with it held.
  void Drain(std::unique_lock<std::mutex>* lock);
  // Writes "file" into the archive unless an earlier write failed. Called
  // by the one writer, without the lock.
  platform::IoStatus Write(const File& file);
  bool Stopped() const { return stop_ != nullptr && stop_->load(); }

  const std::atomic<bool>* const stop_;
  std::unique_ptr<platform::ArchiveWriter> writer_;
  std::mutex mutex_;  // what follows
  std::condition_variable turn_;
  std::string prefix_;
  std::size_t head_ = 0;  // the oldest entry not done
  std::map<std::size_t, Waiting> waiting_;
  std::size_t waitingBytes_ = 0;
  std::deque<File> ready_;
  std::size_t readyBytes_ = 0;
  bool writing_ = false;
  platform::IoStatus status_;
};

}  // namespace varnoket

#endif  // VARNOKET_BATCH_ARCHIVE_SINK_H_
