// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_FOLDER_LISTING_H_
#define VARNOKET_PLATFORM_FOLDER_LISTING_H_

#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/file_system.h"

namespace varnoket::platform {

// One entry of a folder, as a listing yields it.
struct FolderEntry {
  using String = std::filesystem::path::string_type;

  String name;
  // The folder in absolute form, a separator unless it already ends with one,
  // and the name.
  String path;
  // A folder, or a link to one.
  bool isFolder = false;
  // A symbolic link (on Windows, any reparse point), whatever it leads to.
  bool isLink = false;
  // A regular file itself, not a link to one.
  bool isFile = false;
};

// Which folder a path names: two paths of one folder, whatever links, "." or
// ".." lead there, give equal identities.
struct FolderIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;  // the inode number; the file index on Windows
  auto operator<=>(const FolderIdentity&) const = default;
};

// The folder operations of the batch run: listing a folder's entries and
// telling folders apart. The default object asks the operating system; tests
// derive from it to make a listing fail.
class FolderLister {
 public:
  virtual ~FolderLister() = default;

  // Calls "onEntry" for every entry of "folder" whose name matches "pattern"
  // (ASCII; "*" any run, "?" any one character, letter case ignored), in the order
  // the platform yields them; "." and ".." never come. Succeeds when the folder
  // was read to its end, matching entries or not. Otherwise returns the
  // system's reason (the folder is missing, not a folder, or may not be read);
  // the entries passed on before a failure stay passed on. On POSIX the length
  // of "folder" alone never makes it fail.
  virtual IoStatus ListFolder(const std::filesystem::path& folder, std::string_view pattern,
                              const std::function<void(const FolderEntry&)>& onEntry);

  // Sets "*identity" to the folder "folder" names, or returns why it cannot
  // (it is missing, not a folder, or may not be looked at).
  virtual IoStatus IdentifyFolder(const std::filesystem::path& folder, FolderIdentity* identity);
};

// The process-wide object that asks the operating system.
FolderLister& DefaultFolderLister();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_FOLDER_LISTING_H_
