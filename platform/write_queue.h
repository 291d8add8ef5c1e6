// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_WRITE_QUEUE_H_
#define VARNOKET_PLATFORM_WRITE_QUEUE_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/file_system.h"

namespace varnoket::platform {

// Writes many files atomically with one durability barrier per group of
// replacements instead of one per file. A new file takes its name at once on
// the writer's thread (there is nothing to protect). A file that replaces
// another joins the open group; a group is closed when it holds kGroupFiles
// files or kGroupBytes bytes, and at Finish. A closed group is flushed once
// (FileSystem::Flush), and only then are its files committed, each checked
// against what its name held. Flushing and committing happen on the queue's
// own threads, several commits at once: removing a replaced file can wait on
// the disk (file systems that discard freed blocks at once do), and the
// writers go on meanwhile. At most one closed group waits beside the open one;
// a writer that would close a third waits. The first write into a folder
// removes the leftover temporaries there. Safe to use from several threads.
class WriteQueue {
 public:
  static constexpr std::size_t kGroupFiles = 256;
  static constexpr std::uint64_t kGroupBytes = 32 << 20;
  static constexpr unsigned kCommitThreads = 8;

  // Called once for every Write, with its tag, the size written and the
  // result, on the writer's thread or one of the queue's; calls may overlap.
  using Done = std::function<void(std::size_t tag, std::uint64_t size, const IoStatus& status)>;

  // "files" must outlive the queue.
  WriteQueue(FileSystem& files, Done done);
  // Finishes.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Writes "bytes" to "path" as FileSystem::Stage and Commit do, with "read"
  // the file that was read when cleaning in place. The result reaches "done"
  // now or once the group is committed. Throws only what allocating memory
  // throws, and only before the write is handed over: then nothing was
  // written and "done" is not called for it.
  void Write(const std::filesystem::path& path, std::string_view bytes, const FileIdentity* read,
             std::size_t tag);

  // Commits every write still waiting and returns when all are done. Not
  // while another thread is in Write; the queue may be used again afterwards.
  void Finish();

 private:
  struct Waiting {
    StagedFile staged;
    std::size_t tag;
  };

  void RemoveLeftovers(const std::filesystem::path& folder);
  // Closes the open group and starts the queue's threads if need be; false
  // when not a single thread could be started. Holds mutex_.
  bool CloseGroup();
  // A thread of the queue: flushes closed groups and commits flushed files,
  // until Finish; with "untilIdle", only until nothing is left to do.
  void Serve(bool untilIdle);
  void Report(Waiting* waiting, const IoStatus& status);

  FileSystem& files_;
  Done done_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Waiting> open_;  // the group being filled
  std::uint64_t openBytes_ = 0;
  std::deque<std::vector<Waiting>> closed_;  // closed groups waiting for the flush
  bool flushing_ = false;                    // a closed group is being flushed
  std::deque<Waiting> flushed_;              // files waiting to be committed
  std::size_t inPipeline_ = 0;               // files closed and not yet reported
  bool stopping_ = false;
  std::vector<std::thread> threads_;

  std::mutex foldersMutex_;
  std::set<std::filesystem::path::string_type> folders_;
};

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_WRITE_QUEUE_H_
