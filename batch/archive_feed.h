// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_ARCHIVE_FEED_H_
#define VARNOKET_BATCH_ARCHIVE_FEED_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "platform/archive.h"
#include "platform/byte_source.h"

namespace varnoket {

// The "*.sgf" entries of an archive handed out one at a time to a run's
// workers, in the archive's order. One worker at a time reads the archive:
// it takes the next entry and reads its data while the others clean theirs.
// An entry of up to kHeldEntryBytes is read whole and the archive is free
// again; a larger one is read by the cleaning itself, block by block, while
// the taker holds the archive. Entries that would land outside the
// destination, links, devices, encrypted entries and names taken twice are
// refused, each a failure of its own; damage ends the feed with a failure
// named after the entry where it was met. Names that differ only in letter
// case are taken twice too: they name one file on Windows and on other file
// systems that ignore case, where the second would replace the first.
class ArchiveFeed {
 public:
  static constexpr std::size_t kHeldEntryBytes = 8 << 20;

  // "recursive": entries in folders of the archive are cleaned too;
  // otherwise they are only counted (see subfolderEntries). An entry whose
  // data runs beyond "maxEntryBytes" fails as too large (a decompression
  // bomb), whatever its header declared.
  ArchiveFeed(std::unique_ptr<platform::ArchiveReader> reader, bool recursive,
              std::uint64_t maxEntryBytes);
  ~ArchiveFeed();

  // One entry taken: its number in the order of taking, its path inside the
  // archive (relative, "/" between folders), its time, its permission bits
  // (0 when the archive stores none), and its data.
  struct Item {
    std::size_t index = 0;
    std::filesystem::path name;
    std::int64_t modifiedSeconds = 0;
    std::int32_t modifiedNanoseconds = 0;
    std::uint32_t permissions = 0;
    // The data; while it lives, a large entry holds the archive.
    std::unique_ptr<platform::ByteSource> data;

    // True when the data was not read whole by Take, and is read from the
    // archive, which it holds.
    bool HoldsArchive() const;
    // Makes data read whole by Take read again from its start; false for data
    // that holds the archive, which cannot.
    bool Rewind();
  };

  // Takes the next entry to clean; false when there is none (the end, or
  // damage). Refused entries met on the way go to failures().
  bool Take(Item* item);

  // The name of the entry taken as "index".
  std::filesystem::path NameOf(std::size_t index);
  std::size_t taken();
  // Entries inside folders of the archive that a run that is not recursive
  // left alone.
  std::size_t subfolderEntries();
  // The entries refused and the damage met, in the archive's order.
  std::vector<FileFailure> TakeFailures();

  // "name" with its letters in one case, as Windows compares file names:
  // ASCII, Latin, Greek, Cyrillic and full-width Latin letters. Bytes that
  // are not UTF-8 are kept as they are.
  static std::string FoldCase(std::string_view name);

  // The relative path an entry name stands for, or false when it would lead
  // outside the destination: an absolute name, a drive letter, or a ".."
  // component. "\" counts as a separator; "." and empty components vanish.
  static bool SafeName(const std::string& name, std::string* safe);

 private:
  class EntryData;
  friend class EntryData;

  void Refuse(const std::string& name, FailureReason reason, std::string detail);

  // Held while the archive is read: by Take, and by a large entry's data.
  std::mutex archiveMutex_;
  std::unique_ptr<platform::ArchiveReader> reader_;
  const bool recursive_;
  const std::uint64_t maxEntryBytes_;
  bool ended_ = false;
  std::string lastName_;  // of the last entry met, for damage after it

  std::mutex stateMutex_;  // what follows
  std::deque<std::filesystem::path> names_;
  // The names taken so far, folded (FoldCase), with their index in names_.
  std::map<std::string, std::size_t> seen_;
  std::size_t subfolderEntries_ = 0;
  std::vector<FileFailure> failures_;
};

}  // namespace varnoket

#endif  // VARNOKET_BATCH_ARCHIVE_FEED_H_
