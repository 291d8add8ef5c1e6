// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_WRITE_QUEUE_H_
#define VARNOKET_BATCH_WRITE_QUEUE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace varnoket {

// Writes many files atomically with one durability barrier per group of
// replacements instead of one per file. A new file takes its name at once on
// the writer's thread (there is nothing to protect). A file that replaces
// another joins the open group. A group is closed when it holds what the disk
// writes back in about a second (measured at each barrier, between 8 and
// 256 MB), as many files as the open-file limit allows, or at Finish. A closed
// group is flushed once (FileSystem::Flush), and only then are its files
// committed, each checked against what its name held. Flushing and committing
// happen on the queue's own threads, several commits at once, and the writers
// go on meanwhile. At most one closed group waits beside the open one; a
// writer that would close a third waits.
//
// When a write fails for want of space (IoStatus::noSpace), everything staged
// is committed first, so that the replaced files free their blocks, and the
// write is then tried once more alone before it is reported.
//
// Once "*stop" is set, no group is flushed any more: the replacements not yet
// covered by a barrier are discarded, their files left as they were, and
// reported "stopped"; a flush already under way is finished and its files
// committed. Safe to use from several threads.
class WriteQueue {
 public:
  // What became of one Write.
  struct Written {
    std::uint64_t size = 0;  // the bytes written, 0 on failure
    platform::IoStatus status;
    std::string note;  // what of a replaced file could not be kept
    // The queue was stopped before the file was made durable: it was not
    // written, and what its name held is as it was.
    bool stopped = false;
  };
  // Called once for every Write with its tag, on the writer's thread or one
  // of the queue's; calls may overlap.
  using Done = std::function<void(std::size_t tag, const Written& written)>;

  // "files" and "*stop" (may be null) must outlive the queue.
  WriteQueue(platform::FileSystem& files, Done done, const std::atomic<bool>* stop = nullptr);
  // Finishes.
  ~WriteQueue();
  WriteQueue(const WriteQueue&) = delete;
  WriteQueue& operator=(const WriteQueue&) = delete;

  // Writes "bytes" under "name" in "folder" as FileSystem::Stage and Commit
  // do. The result reaches "done" now or once the group is committed. Throws
  // only what allocating memory throws, and only before the write is handed
  // over: then nothing was written and "done" is not called for it.
  void Write(const platform::FolderHandle& folder, const std::filesystem::path& name,
             std::string_view bytes, const platform::StageOptions& options, std::size_t tag);

  // Commits every write still waiting and returns when all are done. Not
  // while another thread is in Write; the queue may be used again afterwards.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace varnoket

#endif  // VARNOKET_BATCH_WRITE_QUEUE_H_
