// SPDX-License-Identifier: MIT
#include "platform/write_queue.h"

#include <exception>
#include <system_error>
#include <utility>

namespace varnoket::platform {

WriteQueue::WriteQueue(FileSystem& files, Done done) : files_(files), done_(std::move(done)) {}

WriteQueue::~WriteQueue() { Finish(); }

void WriteQueue::Write(const std::filesystem::path& path, std::string_view bytes,
                       const FileIdentity* read, std::size_t tag) {
  RemoveLeftovers(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
  Waiting waiting{StagedFile(), tag};
  IoStatus status = files_.Stage(path, bytes, read, &waiting.staged);
  if (status.ok() && waiting.staged.replaces()) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::uint64_t size = waiting.staged.size();
    open_.push_back(std::move(waiting));  // from here the queue reports it
    openBytes_ += size;
    const auto full = [this] { return open_.size() >= kGroupFiles || openBytes_ >= kGroupBytes; };
    changed_.wait(lock, [&] { return !full() || inPipeline_ == 0; });
    if (full() && !CloseGroup()) {
      lock.unlock();
      Serve(/*untilIdle=*/true);
    }
    return;
  }
  if (status.ok()) status = files_.Commit(&waiting.staged);
  Report(&waiting, status);
}

void WriteQueue::Finish() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_.empty() && !CloseGroup()) {
      lock.unlock();
      Serve(/*untilIdle=*/true);
      lock.lock();
    }
    changed_.wait(lock, [this] { return inPipeline_ == 0; });
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  stopping_ = false;
}

void WriteQueue::RemoveLeftovers(const std::filesystem::path& folder) {
  {
    std::lock_guard<std::mutex> lock(foldersMutex_);
    if (!folders_.insert(folder.native()).second) return;
  }
  // A folder that cannot be listed is no reason to fail the write.
  (void)files_.RemoveLeftoverTemporaries(folder);
}

bool WriteQueue::CloseGroup() {
  inPipeline_ += open_.size();
  closed_.push_back(std::move(open_));
  open_.clear();
  openBytes_ = 0;
  for (unsigned i = static_cast<unsigned>(threads_.size()); i < kCommitThreads; ++i) {
    try {
      threads_.emplace_back([this] { Serve(/*untilIdle=*/false); });
    } catch (const std::system_error&) {
      break;  // fewer threads still finish the work
    }
  }
  changed_.notify_all();
  return !threads_.empty();
}

void WriteQueue::Serve(bool untilIdle) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (!flushed_.empty()) {
      Waiting waiting = std::move(flushed_.front());
      flushed_.pop_front();
      lock.unlock();
      try {
        Report(&waiting, files_.Commit(&waiting.staged));
      } catch (const std::exception&) {
        // Only the report can throw (out of memory); the file is committed.
      }
      lock.lock();
      --inPipeline_;
      changed_.notify_all();
      continue;
    }
    if (!closed_.empty() && !flushing_) {
      std::vector<Waiting> group = std::move(closed_.front());
      closed_.pop_front();
      flushing_ = true;
      lock.unlock();
      std::vector<StagedFile*> files;
      IoStatus flushed;
      try {
        files.reserve(group.size());
        for (Waiting& waiting : group) files.push_back(&waiting.staged);
        flushed = files_.Flush(files);
      } catch (const std::exception& error) {
        flushed = IoStatus::Error(error.what());
      }
      if (!flushed.ok()) {
        // None of them may replace a file: each is discarded and reported.
        for (Waiting& waiting : group) {
          try {
            Report(&waiting, flushed);
          } catch (const std::exception&) {
          }
        }
      }
      lock.lock();
      flushing_ = false;
      if (flushed.ok()) {
        for (Waiting& waiting : group) flushed_.push_back(std::move(waiting));
      } else {
        inPipeline_ -= group.size();
      }
      changed_.notify_all();
      continue;
    }
    if (stopping_ || untilIdle) return;
    changed_.wait(lock);
  }
}

void WriteQueue::Report(Waiting* waiting, const IoStatus& status) {
  const std::uint64_t size = status.ok() ? waiting->staged.size() : 0;
  waiting->staged = StagedFile();  // closes the file before the report
  done_(waiting->tag, size, status);
}

}  // namespace varnoket::platform
