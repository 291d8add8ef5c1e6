// SPDX-License-Identifier: MIT
#include "batch/archive_sink.h"

#include <utility>

#include "platform/path_text.h"

namespace varnoket {
namespace {

// "path" as an archive names it: UTF-8, "/" between folders.
std::string ArchiveName(const std::filesystem::path& path) {
  std::string text = platform::PathToUtf8(path);
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  for (char& c : text) c = c == separator ? '/' : c;
  return text;
}

}  // namespace

platform::IoStatus ArchiveSink::Open(platform::Archives& archives, platform::FileSystem& files,
                                     const platform::FolderHandle& folder,
                                     const std::filesystem::path& name,
                                     const platform::StageOptions& stage,
                                     platform::ArchiveKind kind) {
  return archives.Create(files, folder, name, stage, kind, &writer_);
}

void ArchiveSink::BeginRun(const std::filesystem::path& prefix) {
  const std::lock_guard<std::mutex> lock(mutex_);
  prefix_ = prefix.empty() ? std::string() : ArchiveName(prefix) + "/";
  head_ = 0;
  waiting_.clear();
  waitingBytes_ = 0;
}

void ArchiveSink::AwaitTurn(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  // While files wait to be written, one worker is writing them.
  turn_.wait(lock, [this, index] {
    if (Stopped()) return true;
    if (readyBytes_ >= kReadyBytes) return false;
    return index <= head_ || (index < head_ + kWindowEntries && waitingBytes_ < kWindowBytes);
  });
}

void ArchiveSink::Put(std::size_t index, const std::filesystem::path& name, std::string bytes,
                      std::int64_t modifiedSeconds, std::int32_t modifiedNanoseconds) {
  if (writer_ == nullptr) return;
  File file{prefix_ + ArchiveName(name), std::move(bytes), modifiedSeconds, modifiedNanoseconds};
  std::unique_lock<std::mutex> lock(mutex_);
  if (index == head_) {
    readyBytes_ += file.bytes.size();
    ready_.push_back(std::move(file));
    Drain(&lock);
    return;
  }
  waitingBytes_ += file.bytes.size();
  waiting_[index].files.push_back(std::move(file));
}

void ArchiveSink::Done(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (index != head_) {
    waiting_[index].done = true;
    return;
  }
  // The entries after it that wait are ready now, up to one not done.
  ++head_;
  for (auto next = waiting_.find(head_); next != waiting_.end(); next = waiting_.find(head_)) {
    for (File& file : next->second.files) {
      waitingBytes_ -= file.bytes.size();
      readyBytes_ += file.bytes.size();
      ready_.push_back(std::move(file));
    }
    const bool done = next->second.done;
    waiting_.erase(next);
    if (!done) break;
    ++head_;
  }
  turn_.notify_all();
  Drain(&lock);
}

void ArchiveSink::Drain(std::unique_lock<std::mutex>* lock) {
  if (writing_) return;
  writing_ = true;
  while (!ready_.empty() && !Stopped()) {
    const File file = std::move(ready_.front());
    ready_.pop_front();
    lock->unlock();
    const platform::IoStatus added = Write(file);
    lock->lock();
    if (status_.ok()) status_ = added;
    readyBytes_ -= file.bytes.size();
    turn_.notify_all();
  }
  writing_ = false;
  turn_.notify_all();
}

platform::IoStatus ArchiveSink::Write(const File& file) {
  if (!status_.ok()) return status_;
  return writer_->Add(file.name, file.bytes, file.modifiedSeconds, file.modifiedNanoseconds);
}

platform::IoStatus ArchiveSink::Commit() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (writer_ == nullptr) return platform::IoStatus::Ok();
  // What a stop left unwritten, in a run that had started every entry.
  for (const File& file : ready_) {
    if (status_.ok()) status_ = Write(file);
  }
  ready_.clear();
  // Files whose turn never came (entries never done) are not in the archive.
  if (status_.ok() && !waiting_.empty()) {
    status_ = platform::IoStatus::Error("the archive was not completed");
  }
  if (status_.ok()) status_ = writer_->Commit();
  writer_.reset();
  return status_;
}

}  // namespace varnoket
