// SPDX-License-Identifier: MIT
// The folder operations on the real disk, through the platform's FileFinder.
#include "platform/folder_listing.h"

#include "platform/file_finder.h"

namespace varnoket::platform {

IoStatus FolderLister::ListFolder(const std::filesystem::path& folder, std::string_view pattern,
                                  const std::function<void(const FolderEntry&)>& onEntry) {
  FileFinder::String search = folder.native();
  search.push_back(FileFinder::kSeparator);
  for (const char c : pattern) search.push_back(static_cast<FileFinder::String::value_type>(c));

  FileFinder finder;
  FolderEntry entry;
  for (bool more = finder.FindFirst(search); more; more = finder.FindNext()) {
    entry.name = finder.FileName();
    entry.path = finder.FilePath();
    entry.isFolder = finder.IsFolder();
    entry.isLink = finder.IsLink();
    entry.isFile = finder.IsFile();
    onEntry(entry);
  }
  return finder.status();
}

IoStatus FolderLister::IdentifyFolder(const std::filesystem::path& folder,
                                      FolderIdentity* identity) {
  return platform::IdentifyFolder(folder, identity);
}

FolderLister& DefaultFolderLister() {
  static FolderLister lister;
  return lister;
}

}  // namespace varnoket::platform
