#ifndef VARNOKET_PLATFORM_FOLDER_LISTING_H_
#define VARNOKET_PLATFORM_FOLDER_LISTING_H_

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
};

// The folder operations of the batch run: listing a folder's entries and
// resolving a folder's path. The default object asks the operating system;
// tests derive from it to make a listing fail.
class FolderLister {
 public:
  virtual ~FolderLister() = default;

  // Calls "onEntry" for every entry of "folder" whose name matches "pattern"
  // (ASCII; "*" any run, "?" any one character, letter case ignored), in the order
  // the platform yields them; "." and ".." never come. Succeeds when the folder
  // was read to its end, matching entries or not. Otherwise returns the
  // system's reason (the folder is missing, not a folder, or may not be read);
  // the entries passed on before a failure stay passed on.
  virtual IoStatus ListFolder(const std::filesystem::path& folder, std::string_view pattern,
                              const std::function<void(const FolderEntry&)>& onEntry);

  // Sets "*canonical" to the absolute form of "path" with every link, "." and
  // ".." resolved, so that two paths of one folder compare equal. When that
  // fails, "*canonical" is the absolute form alone (empty if even that cannot
  // be had) and the reason is returned.
  virtual IoStatus CanonicalPath(const std::filesystem::path& path,
                                 std::filesystem::path* canonical);
};

// The process-wide object that asks the operating system.
FolderLister& DefaultFolderLister();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_FOLDER_LISTING_H_
