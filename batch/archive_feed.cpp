// SPDX-License-Identifier: MIT
#include "batch/archive_feed.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <utility>

#include "platform/path_text.h"
#include "sgf/utf8.h"

namespace varnoket {
namespace {

bool EndsWithSgf(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".sgf";
}

// The lower-case letter of "c" for the letters FoldCase covers; "c" itself
// for any other.
char16_t LowerLetter(char16_t c) {
  const auto between = [c](unsigned first, unsigned last) { return c >= first && c <= last; };
  const auto plus = [c](unsigned offset) { return static_cast<char16_t>(c + offset); };
  const bool even = c % 2 == 0;
  if (between('A', 'Z') || (between(0xC0, 0xDE) && c != 0xD7)) return plus(0x20);
  if ((between(0x100, 0x12F) || between(0x132, 0x137) || between(0x14A, 0x177)) && even) {
    return plus(1);
  }
  if ((between(0x139, 0x148) || between(0x179, 0x17E)) && !even) return plus(1);
  if (c == 0x178) return 0xFF;
  if ((between(0x391, 0x3A9) && c != 0x3A2) || between(0x410, 0x42F)) return plus(0x20);
  if (c == 0x386) return 0x3AC;
  if (between(0x388, 0x38A)) return plus(37);
  if (c == 0x38C) return 0x3CC;
  if (between(0x38E, 0x38F)) return plus(63);
  if (between(0x400, 0x40F)) return plus(0x50);
  if ((between(0x460, 0x481) || between(0x48A, 0x4BF)) && even) return plus(1);
  if (between(0xFF21, 0xFF3A)) return plus(0x20);
  return c;
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
    } else if (archive_.owns_lock()) {
      const platform::IoStatus status = feed_.reader_->Read(buffer, capacity, got);
      if (!status.ok()) {
        feed_.ended_ = true;
        return status;
      }
      read_ += *got;
    }
    if (at_ + read_ > feed_.maxEntryBytes_) {
      *got = 0;
      return platform::IoStatus::Error("the entry is too large");
    }
    return platform::IoStatus::Ok();
  }

  bool HoldsArchive() const { return archive_.owns_lock(); }

  bool Rewind() {
    if (archive_.owns_lock()) return false;
    at_ = 0;
    return true;
  }

 private:
  ArchiveFeed& feed_;
  std::string held_;
  std::size_t at_ = 0;
  std::uint64_t read_ = 0;
  std::unique_lock<std::mutex> archive_;
};

ArchiveFeed::ArchiveFeed(std::unique_ptr<platform::ArchiveReader> reader, bool recursive,
                         std::uint64_t maxEntryBytes)
    : reader_(std::move(reader)), recursive_(recursive), maxEntryBytes_(maxEntryBytes) {}

ArchiveFeed::~ArchiveFeed() = default;

// Every item's data is an EntryData (see Take).
bool ArchiveFeed::Item::HoldsArchive() const {
  return data != nullptr && static_cast<const EntryData&>(*data).HoldsArchive();
}

bool ArchiveFeed::Item::Rewind() {
  return data != nullptr && static_cast<EntryData&>(*data).Rewind();
}

std::string ArchiveFeed::FoldCase(std::string_view name) {
  std::u16string wide;
  if (!DecodeUtf8(name, &wide)) {
    std::string folded(name);
    for (char& c : folded) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
    return folded;
  }
  for (char16_t& c : wide) c = LowerLetter(c);
  // The letters folded keep their length in UTF-8.
  std::string folded;
  folded.reserve(name.size());
  AppendUtf8(wide, &folded);
  return folded;
}

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
    std::string folded = FoldCase(name);
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      const auto earlier = seen_.find(folded);
      if (earlier != seen_.end()) {
        const std::filesystem::path path = platform::PathFromUtf8(name).make_preferred();
        const std::filesystem::path& earlierPath = names_[earlier->second];
        failures_.push_back(FileFailure{
            path, FailureReason::NotExtracted,
            earlierPath == path ? std::string("the name is taken by an earlier entry")
                                : "the name differs only in letter case from an earlier entry's, " +
                                      platform::PathToUtf8(earlierPath)});
        continue;
      }
    }

    // Read up to kHeldEntryBytes; a larger entry keeps the archive. Reading
    // stops just beyond the limit of an entry's size.
    std::string held;
    bool whole = false;
    constexpr std::size_t kBlock = 64 * 1024;
    const std::size_t holdAtMost =
        static_cast<std::size_t>(std::min<std::uint64_t>(kHeldEntryBytes, maxEntryBytes_ + 1));
    try {
      while (held.size() < holdAtMost) {
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
    } catch (const std::bad_alloc&) {
      // The rest of its data is skipped with the next entry's header.
      std::string().swap(held);
      Refuse(name, FailureReason::OutOfMemory, "");
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(stateMutex_);
      item->index = names_.size();
      seen_.emplace(std::move(folded), item->index);
      names_.push_back(platform::PathFromUtf8(name).make_preferred());
      item->name = names_.back();
    }
    item->modifiedSeconds = entry.hasModified ? entry.modifiedSeconds : 0;
    item->modifiedNanoseconds = entry.hasModified ? entry.modifiedNanoseconds : 0;
    item->permissions = entry.permissions;
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
