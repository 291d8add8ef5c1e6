// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_ARCHIVE_SINK_H_
#define VARNOKET_BATCH_ARCHIVE_SINK_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/archive.h"
#include "platform/file_system.h"

namespace varnoket {

// The cleaned files of a run whose destination is an archive, gathered from
// the workers in any order and written in the source's order: by entry, then
// by game for the numbered files of a split collection. The same files give
// the same archive bytes.
class ArchiveSink {
 public:
  // Keeps "bytes" as the file "name" (relative) of entry "index", game
  // "number" (0 for the entry's own file), with the source's time.
  void Put(std::size_t index, std::uint64_t number, const std::filesystem::path& name,
           std::string bytes, std::int64_t modifiedSeconds, std::int32_t modifiedNanoseconds);

  // Writes every file kept into a new archive of "kind" named "name" in
  // "folder", staged through "files" as "stage" says; it takes that name only
  // when complete and durable.
  platform::IoStatus Write(platform::Archives& archives, platform::FileSystem& files,
                           const platform::FolderHandle& folder, const std::filesystem::path& name,
                           const platform::StageOptions& stage, platform::ArchiveKind kind);

 private:
  struct File {
    std::string name;  // UTF-8, "/" between folders
    std::string bytes;
    std::int64_t modifiedSeconds = 0;
    std::int32_t modifiedNanoseconds = 0;
  };
  std::mutex mutex_;
  std::map<std::pair<std::size_t, std::uint64_t>, File> files_;
};

}  // namespace varnoket

#endif  // VARNOKET_BATCH_ARCHIVE_SINK_H_
