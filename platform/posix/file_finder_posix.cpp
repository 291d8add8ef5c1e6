// SPDX-License-Identifier: MIT
// POSIX side of the folder enumeration: fdopendir(3)/readdir(3) with a
// case-insensitive wildcard match of our own, since fnmatch's FNM_CASEFOLD is
// a GNU extension. The folder is opened relative to its leading folders when
// its path is too long to pass whole.
#include "platform/file_finder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/posix/path_at.h"

namespace varnoket::platform {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Matches "name" against "pattern" ("*" any run, "?" any one byte, ASCII letter
// case ignored), iteratively with single-star backtracking.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::string::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

struct FileFinder::State {
  DIR* folder = nullptr;
  std::string rootFolder;
  std::string glob;
  std::string name;
  bool found = false;
  bool isFolder = false;
  bool isLink = false;
  bool isFile = false;
  IoStatus status;

  bool Advance() {
    found = false;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(folder);
      if (entry == nullptr) {
        if (errno != 0) status = IoStatus::Error(std::strerror(errno));
        return false;
      }
      const std::string candidate = entry->d_name;
      if (candidate == "." || candidate == "..") continue;
      if (!WildcardMatch(glob, candidate)) continue;
      name = candidate;
      // The listing's own type where the file system gives one; a stat only
      // for a link (to see what it leads to) or an unknown type.
      isFolder = entry->d_type == DT_DIR;
      isLink = entry->d_type == DT_LNK;
      isFile = entry->d_type == DT_REG;
      if (entry->d_type == DT_UNKNOWN) {
        struct stat info {};
        if (::fstatat(::dirfd(folder), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
          isFolder = S_ISDIR(info.st_mode);
          isLink = S_ISLNK(info.st_mode);
          isFile = S_ISREG(info.st_mode);
        }
      }
      if (isLink) {
        struct stat info {};
        isFolder = ::fstatat(::dirfd(folder), name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
      }
      found = true;
      return true;
    }
  }
};

FileFinder::FileFinder() : state_(std::make_unique<State>()) {}

FileFinder::~FileFinder() { Close(); }

bool FileFinder::FindFirst(const String& pattern) {
  Close();
  state_->status = IoStatus::Ok();
  std::error_code error;
  const std::string absolute = std::filesystem::absolute(pattern, error).native();
  if (error) {
    state_->status = IoStatus::Error(error.message());
    return false;
  }
  const std::size_t cut = absolute.rfind('/');
  const std::string rootFolder = cut == std::string::npos ? absolute : absolute.substr(0, cut);
  const std::string glob = cut == std::string::npos ? absolute : absolute.substr(cut + 1);
  // The folder to open keeps a trailing slash so that "/" and "dir//" resolve.
  const std::string open = cut == std::string::npos ? "." : absolute.substr(0, cut + 1);
  PathAt at;
  state_->status = at.Open(open);
  if (!state_->status.ok()) return false;
  const int fd = ::openat(at.folder(), at.rest(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) state_->folder = ::fdopendir(fd);
  if (state_->folder == nullptr) {
    state_->status = IoStatus::Error(std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return false;
  }
  state_->rootFolder = rootFolder;
  state_->glob = glob;
  if (!state_->Advance()) {
    Close();
    return false;
  }
  return true;
}

bool FileFinder::FindNext() {
  if (state_->folder == nullptr || !state_->found) return false;
  return state_->Advance();
}

FileFinder::String FileFinder::FileName() const { return state_->found ? state_->name : String(); }

FileFinder::String FileFinder::FilePath() const {
  if (!state_->found) return String();
  const std::string& root = state_->rootFolder;
  return root + (root.ends_with('/') ? "" : "/") + state_->name;
}

const IoStatus& FileFinder::status() const { return state_->status; }

bool FileFinder::IsFolder() const { return state_->found && state_->isFolder; }

bool FileFinder::IsLink() const { return state_->found && state_->isLink; }

bool FileFinder::IsFile() const { return state_->found && state_->isFile; }

void FileFinder::Close() {
  if (state_->folder != nullptr) ::closedir(state_->folder);
  state_->folder = nullptr;
  state_->found = false;
}

IoStatus IdentifyFolder(const std::filesystem::path& folder, FolderIdentity* identity) {
  PathAt at;
  const IoStatus opened = at.Open(folder);
  if (!opened.ok()) return opened;
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, 0) != 0) {
    return IoStatus::Error(std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) return IoStatus::Error(std::strerror(ENOTDIR));
  identity->device = static_cast<std::uint64_t>(info.st_dev);
  identity->file = static_cast<std::uint64_t>(info.st_ino);
  return IoStatus::Ok();
}

}  // namespace varnoket::platform
