// SPDX-License-Identifier: MIT
#include "batch/archive_sink.h"

#include <memory>

#include "platform/path_text.h"

namespace varnoket {

void ArchiveSink::Put(std::size_t index, std::uint64_t number, const std::filesystem::path& name,
                      std::string bytes, std::int64_t modifiedSeconds,
                      std::int32_t modifiedNanoseconds) {
  std::string text = platform::PathToUtf8(name);
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  for (char& c : text) c = c == separator ? '/' : c;
  const std::lock_guard<std::mutex> lock(mutex_);
  files_[{index, number}] =
      File{std::move(text), std::move(bytes), modifiedSeconds, modifiedNanoseconds};
}

platform::IoStatus ArchiveSink::Write(platform::Archives& archives, platform::FileSystem& files,
                                      const platform::FolderHandle& folder,
                                      const std::filesystem::path& name,
                                      const platform::StageOptions& stage,
                                      platform::ArchiveKind kind) {
  std::unique_ptr<platform::ArchiveWriter> writer;
  platform::IoStatus status = archives.Create(files, folder, name, stage, kind, &writer);
  for (auto it = files_.begin(); status.ok() && it != files_.end(); ++it) {
    status = writer->Add(it->second.name, it->second.bytes, it->second.modifiedSeconds,
                         it->second.modifiedNanoseconds);
  }
  if (status.ok()) status = writer->Commit();
  return status;
}

}  // namespace varnoket
