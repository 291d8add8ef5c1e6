// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_FILE_FINDER_H_
#define VARNOKET_PLATFORM_FILE_FINDER_H_

#include <filesystem>
#include <memory>

#include "platform/file_system.h"
#include "platform/folder_listing.h"

namespace varnoket::platform {

// Enumerates the entries of one folder that match a wildcard pattern such as
// "games/*.sgf" ("*" and "?", letter case ignored). Entries come in the order
// the platform yields them; "." and ".." are never yielded. The rest of the
// program lists folders through FolderLister, which uses this.
class FileFinder {
 public:
  using String = std::filesystem::path::string_type;

  // The separator put between the folder and an entry name.
#ifdef _WIN32
  static constexpr std::filesystem::path::value_type kSeparator = L'\\';
#else
  static constexpr std::filesystem::path::value_type kSeparator = '/';
#endif

  FileFinder();
  ~FileFinder();
  FileFinder(const FileFinder&) = delete;
  FileFinder& operator=(const FileFinder&) = delete;

  // Closes any running enumeration and starts one over "pattern". Returns false
  // when the folder cannot be opened or nothing matches; status() tells which.
  // On success the first entry is current and the folder is remembered in
  // absolute form, cut at the pattern's last separator ("/" or "\" on
  // Windows, "/" elsewhere).
  bool FindFirst(const String& pattern);

  // Moves to the next matching entry; false at the end or without a search.
  bool FindNext();

  // Why the enumeration stopped yielding entries: success when the folder was
  // read to its end (or held no match), otherwise the system's reason, such as
  // a folder that cannot be opened or a read that failed half way.
  const IoStatus& status() const;

  // The current entry's name, or empty when no entry is current.
  String FileName() const;

  // The folder, a separator unless the folder already ends with one, and the
  // entry's name; empty when no entry is current.
  String FilePath() const;

  // True when the current entry is a folder (or a link to one).
  bool IsFolder() const;

  // True when the current entry is a symbolic link (on Windows, any reparse
  // point), whatever it leads to.
  bool IsLink() const;

  // True when the current entry is a regular file itself, not a link to one.
  bool IsFile() const;

  // Ends the enumeration; safe to call at any time.
  void Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Sets "*identity" to the folder that "folder" names (links followed), or
// returns the system's reason; a path that names no folder fails.
IoStatus IdentifyFolder(const std::filesystem::path& folder, FolderIdentity* identity);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_FILE_FINDER_H_
