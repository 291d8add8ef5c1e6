// SPDX-License-Identifier: MIT
// The parts of the file operations that are the same on every system.
#include "platform/file_system.h"

#include <cstdint>

#include "platform/file_finder.h"
#include "platform/temporary_name.h"

namespace varnoket::platform {

IoStatus FileSystem::WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                         const StageOptions& options) {
  FolderHandle folder;
  const IoStatus status = OpenFolder(path.has_parent_path() ? path.parent_path() : ".", &folder);
  if (!status.ok()) return status;
  return WriteFileAtomically(folder, path.filename(), bytes, options);
}

IoStatus FileSystem::WriteFileAtomically(const FolderHandle& folder,
                                         const std::filesystem::path& name, std::string_view bytes,
                                         const StageOptions& options) {
  StagedFile staged;
  IoStatus status = Stage(folder, name, bytes, options, &staged);
  if (status.ok() && staged.replaces()) status = Flush({&staged});
  if (status.ok()) status = Commit(&staged);
  return status;
}

IoStatus FileSystem::RemoveLeftoverTemporaries(const std::filesystem::path& folder) {
  FileFinder::String pattern = folder.native();
  pattern.push_back(FileFinder::kSeparator);
  for (const char c : std::string_view("*.varnoket-*.tmp")) {
    pattern.push_back(static_cast<FileFinder::String::value_type>(c));
  }
  const std::uint64_t self = ThisProcess();
  FileFinder finder;
  for (bool more = finder.FindFirst(pattern); more; more = finder.FindNext()) {
    std::uint64_t process = 0;
    const FileFinder::String name = finder.FileName();
    if (finder.IsFolder() ||
        !IsTemporaryName(std::basic_string_view<FileFinder::String::value_type>(name), &process))
      continue;
    // A process that still runs may be writing it.
    if (process == self || ProcessMayRun(process)) continue;
    RemoveIfRegularFile(finder.FilePath());
  }
  return finder.status();
}

}  // namespace varnoket::platform
