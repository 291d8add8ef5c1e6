// SPDX-License-Identifier: MIT
#include "batch/archive_feed.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/path_text.h"

namespace varnoket {
namespace {

bool EndsWithSgf(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".sgf";
}

}  // namespace

// The data of one entry: the bytes read by Take, then, for a large entry,
// the rest straight from the archive, which it holds until it goes away.
class ArchiveFeed::EntryData : public platform::ByteSource {
 public:
  EntryData(ArchiveFeed& feed, std::string held, std::unique_lock<std::mutex> archive)
      : feed_(feed), held_(std::move(held)), archive_(std::move(archive)) {}

  platform::IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = 0;
    if (at_ < held_.size()) {
      *got = std::min(capacity, held_.size() - at_);
      std::copy_n(held_.data() + at_, *got, buffer);
      at_ += *got;
      return platform::IoStatus::Ok();
    }
    if (!archive_.owns_lock()) return platform::IoStatus::Ok();
    platform::IoStatus status = feed_.reader_->Read(buffer, capacity, got);
    if (!status.ok()) {
      feed_.ended_ = true;
      return status;
    }
    read_ += *got;
    if (read_ + held_.size() > kMaxEntryBytes) {
      *got = 0;
      return platform::IoStatus::Error("the entry is too large");
    }
    return status;
  }

 private:
  ArchiveFeed& feed_;
  std::string held_;
  std::size_t at_ = 0;
  std::uint64_t read_ = 0;
  std::unique_lock<std::mutex> archive_;
};

ArchiveFeed::ArchiveFeed(std::unique_ptr<platform::ArchiveReader> reader, bool recursive)
    : reader_(std::move(reader)), recursive_(recursive) {}

ArchiveFeed::~ArchiveFeed() = default;

bool ArchiveFeed::SafeName(const std::string& name, std::string* safe) {
  safe->clear();
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find_first_of("/\\", start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part == "..") return false;
    if (!part.empty() && part != ".") {
      if (!safe->empty()) *safe += '/';
      *safe += part;
    }
    start = end + 1;
  }
  return !safe->empty();
}

void ArchiveFeed::Refuse(const std::string& name, FailureReason reason, std::string detail) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  failures_.push_back(
      FileFailure{platform::PathFromUtf8(name).make_preferred(), reason, std::move(detail)});
}

bool ArchiveFeed::Take(Item* item) {
  std::unique_lock<std::mutex> archive(archiveMutex_);
  for (;;) {
    if (ended_) return false;
    platform::ArchiveEntry entry;
    bool atEnd = false;
    const platform::IoStatus next = reader_->Next(&entry, &atEnd);
    if (!next.ok()) {
      ended_ = true;
      Refuse(lastName_, FailureReason::DamagedArchive,
             lastName_.empty() ? next.message() : "after this entry: " + next.message());
      return false;
    }
    if (atEnd) {
      ended_ = true;
      return false;
    }
    lastName_ = entry.path;
    if (entry.type == platform::ArchiveEntryType::Folder) continue;
    std::string name;
    if (!SafeName(entry.path, &name)) {
      Refuse(entry.path, FailureReason::NotExtracted, "the name leads outside the destination");
      continue;
    }
    switch (entry.type) {
      case platform::ArchiveEntryType::SymbolicLink:
        Refuse(name, FailureReason::NotExtracted, "a symbolic link");
        continue;
      case platform::ArchiveEntryType::HardLink:
        Refuse(name, FailureReason::NotExtracted, "a hard link");
        continue;
      case platform::ArchiveEntryType::Other:
        Refuse(name, FailureReason::NotExtracted, "not a regular file");
        continue;
      case platform::ArchiveEntryType::File:
      case platform::ArchiveEntryType::Folder:
        break;
    }
    if (!EndsWithSgf(name)) continue;
    if (!recursive_ && name.find('/') != std::string::npos) {
      std::lock_guard<std::mutex> lock(stateMutex_);
      ++subfolderEntries_;
      continue;
    }
    if (entry.encrypted) {
      Refuse(name, FailureReason::NotExtracted, "the entry is encrypted");
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      if (!seen_.insert(name).second) {
        failures_.push_back(FileFailure{platform::PathFromUtf8(name).make_preferred(),
                                        FailureReason::NotExtracted,
                                        "the name is taken by an earlier entry"});
        continue;
      }
    }

    // Read up to kHeldEntryBytes; a larger entry keeps the archive.
    std::string held;
    bool whole = false;
    constexpr std::size_t kBlock = 64 * 1024;
    while (held.size() < kHeldEntryBytes) {
      const std::size_t at = held.size();
      held.resize(at + kBlock);
      std::size_t got = 0;
      const platform::IoStatus read = reader_->Read(held.data() + at, kBlock, &got);
      held.resize(at + got);
      if (!read.ok()) {
        ended_ = true;
        Refuse(name, FailureReason::DamagedArchive, read.message());
        return false;
      }
      if (got == 0) {
        whole = true;
        break;
      }
    }
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      item->index = names_.size();
      names_.push_back(platform::PathFromUtf8(name).make_preferred());
      item->name = names_.back();
    }
    item->modifiedSeconds = entry.hasModified ? entry.modifiedSeconds : 0;
    item->modifiedNanoseconds = entry.hasModified ? entry.modifiedNanoseconds : 0;
    if (whole) archive.unlock();
    item->data = std::make_unique<EntryData>(
        *this, std::move(held), whole ? std::unique_lock<std::mutex>() : std::move(archive));
    return true;
  }
}

std::filesystem::path ArchiveFeed::NameOf(std::size_t index) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return names_[index];
}

std::size_t ArchiveFeed::taken() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return names_.size();
}

std::size_t ArchiveFeed::subfolderEntries() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return subfolderEntries_;
}

std::vector<FileFailure> ArchiveFeed::TakeFailures() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return std::move(failures_);
}

}  // namespace varnoket
