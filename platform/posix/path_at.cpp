// SPDX-License-Identifier: MIT
#include "platform/posix/path_at.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace varnoket::platform {
PathAt::~PathAt() { Close(); }

void PathAt::Close() {
  if (folder_ != AT_FDCWD) ::close(folder_);
  folder_ = AT_FDCWD;
}

IoStatus PathAt::Open(const std::filesystem::path& path) {
  Close();
  std::string_view remaining = path.native();
  while (remaining.size() >= PATH_MAX) {
    // The longest run of whole components that fits, without the separator
    // after it; "/" alone when the path starts with the root.
    const std::size_t cut = remaining.rfind('/', PATH_MAX - 2);
    if (cut == std::string_view::npos) {
      Close();
      errno = ENAMETOOLONG;
      return IoStatus::Error(std::strerror(ENAMETOOLONG));
    }
    const std::string head(cut == 0 ? std::string_view("/") : remaining.substr(0, cut));
    const int next = ::openat(folder_, head.c_str(), kOpenToWalk);
    if (next < 0) {
      const int error = errno;
      Close();
      errno = error;
      return IoStatus::Error(std::strerror(error));
    }
    Close();
    folder_ = next;
    remaining.remove_prefix(cut + 1);
  }
  rest_.assign(remaining);
  return IoStatus::Ok();
}

}  // namespace varnoket::platform
