// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_POSIX_PATH_AT_H_
#define VARNOKET_PLATFORM_POSIX_PATH_AT_H_

#include <fcntl.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"

namespace varnoket::platform {

// The flags that open a folder only to walk through it: search permission is
// all that needs.
#ifdef O_PATH
inline constexpr int kOpenToWalk = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
inline constexpr int kOpenToWalk = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// A path in the form the *at() calls take, whatever its length: a folder to
// start from and the rest of the path, shorter than PATH_MAX. A path the
// system takes whole starts from the current folder (AT_FDCWD) and is its own
// rest. A longer one has its leading folders opened a few thousand bytes at a
// time, each relative to the one before, so that length alone never makes a
// call fail; links and ".." on the way mean what they mean in one path.
class PathAt {
 public:
  PathAt() = default;
  ~PathAt();
  PathAt(const PathAt&) = delete;
  PathAt& operator=(const PathAt&) = delete;

  // Opens the leading folders of "path" as far as needed. On failure the
  // reason (also left in errno) is that of the folder that could not be
  // opened, and folder() is AT_FDCWD again.
  IoStatus Open(const std::filesystem::path& path);

  // The folder to pass to an *at() call: AT_FDCWD or a descriptor owned here.
  int folder() const { return folder_; }
  // The rest of the path, relative to folder() unless it is absolute.
  const char* rest() const { return rest_.c_str(); }

 private:
  void Close();

  int folder_ = AT_FDCWD;
  std::string rest_;
};

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_POSIX_PATH_AT_H_
