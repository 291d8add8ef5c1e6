// SPDX-License-Identifier: MIT
// POSIX side of the file operations, for Linux: read(2)/write(2) on
// descriptors, and every step of a write relative to a descriptor of the
// target's folder (openat, linkat, renameat2, unlinkat), so that neither the
// length of a path nor a folder or link swapped in between can misdirect it.
#include "platform/file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/byte_source.h"
#include "platform/posix/path_at.h"
#include "platform/posix/write_way.h"
#include "platform/temporary_name.h"

namespace varnoket::platform {
namespace {

IoStatus PosixError(int error) {
  if (error == ENOSPC || error == EDQUOT) return IoStatus::NoSpace(std::strerror(error));
  return IoStatus::Error(std::strerror(error));
}

std::atomic<bool> generalWay{false};

// Owns a descriptor: closes it on every path out of a scope.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the kernel accepted the close.
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_ = -1;
};

IoStatus WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, p, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return PosixError(errno);
    }
    p += written;
    left -= static_cast<std::size_t>(written);
  }
  return IoStatus::Ok();
}

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.permissions = static_cast<std::uint32_t>(info.st_mode & 07777);
  identity.device = static_cast<std::uint64_t>(info.st_dev);
  identity.file = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::uint64_t>(info.st_size);
  identity.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                      static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return identity;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A write beyond the file-size limit (ulimit -f) raises SIGXFSZ, which ends
// the process by default. Ignored, the write fails with EFBIG instead and the
// run goes on. A handler the program installed itself is left alone.
void IgnoreFileSizeSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      ::signal(SIGXFSZ, SIG_IGN);
    }
  });
}

std::atomic<std::uint64_t> temporaryCounter{0};

std::string NextTemporaryName() {
  static const auto process = static_cast<std::uint64_t>(::getpid());  // asked once
  return TemporaryName<char>(process, temporaryCounter.fetch_add(1));
}

// Sets "*name" to a temporary name that "claim" took: claim returns 0, or the
// errno of its failure. While the name tried is taken (EEXIST), another is
// tried. Returns 0 or the errno of the last failure.
template <typename Claim>
int ClaimTemporaryName(const Claim& claim, std::string* name) {
  for (int attempt = 0;; ++attempt) {
    std::string candidate = NextTemporaryName();
    const int error = claim(candidate.c_str());
    if (error == 0) {
      *name = std::move(candidate);
      return 0;
    }
    if (error != EEXIST || attempt == 100) return error;
  }
}

// How an unnamed file gets its name on this system, found out by the first
// write that needs it.
enum class LinkWay { Unknown, EmptyPath, ProcFd, Unsupported };
std::atomic<LinkWay> linkWay{LinkWay::Unknown};

// Gives the unnamed file open at "fd" the name "name" in "folder", which must
// be free: 0, or the errno of the failure (EEXIST when the name is taken).
int LinkUnnamed(int fd, int folder, const char* name) {
  const LinkWay way = linkWay.load(std::memory_order_relaxed);
  if (way != LinkWay::ProcFd) {
    if (::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0) {
      linkWay.store(LinkWay::EmptyPath, std::memory_order_relaxed);
      return 0;
    }
    // Kernels before 6.10 refuse it (ENOENT) without CAP_DAC_READ_SEARCH.
    const int error = errno;
    if (way == LinkWay::EmptyPath || error != ENOENT) return error;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
    linkWay.store(LinkWay::ProcFd, std::memory_order_relaxed);
    return 0;
  }
  const int error = errno;
  if (way == LinkWay::Unknown && error == ENOENT) {
    linkWay.store(LinkWay::Unsupported, std::memory_order_relaxed);  // no /proc either
  }
  return error;
}

// True when unnamed files made in "folder" can be given a name later, found
// out once with a throwaway file.
bool UnnamedFilesWork(int folder) {
  if (linkWay.load(std::memory_order_relaxed) == LinkWay::Unknown) {
    FileDescriptor probe(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!probe.valid()) return false;  // not on this file system, at least
    const std::string name = NextTemporaryName();
    if (LinkUnnamed(probe.get(), folder, name.c_str()) == 0) {
      ::unlinkat(folder, name.c_str(), 0);
    } else {
      LinkWay unknown = LinkWay::Unknown;  // named temporaries from now on
      linkWay.compare_exchange_strong(unknown, LinkWay::Unsupported);
    }
  }
  const LinkWay way = linkWay.load(std::memory_order_relaxed);
  return way == LinkWay::EmptyPath || way == LinkWay::ProcFd;
}

// The most links followed for one name, as the kernel allows.
constexpr int kMaxLinks = 40;

}  // namespace

struct FolderHandle::State {
  FileDescriptor fd;
};

namespace {

using FolderState = std::shared_ptr<const FolderHandle::State>;

FolderState WrapFolder(FileDescriptor fd) {
  auto state = std::make_shared<FolderHandle::State>();
  state->fd = std::move(fd);
  return state;
}

// Where a destination name leads: a name in a folder, and what is there now.
struct Destination {
  FolderState folder;
  std::string name;
  bool exists = false;
  struct stat info {};
};

// The text of the link open (O_PATH) at "link".
IoStatus ReadLink(int link, std::size_t sizeHint, std::string* text) {
  std::size_t size = sizeHint + 1 > 64 ? sizeHint + 1 : 64;
  for (;;) {
    text->resize(size);
    const ssize_t got = ::readlinkat(link, "", text->data(), size);
    if (got < 0) return PosixError(errno);
    if (static_cast<std::size_t>(got) < size) {
      text->resize(static_cast<std::size_t>(got));
      return IoStatus::Ok();
    }
    size *= 2;
  }
}

// Follows the link "component" in "*folder" under the kernel's
// protected-symlinks rule: only a link that belongs to the running user or
// to the owner of the folder that holds it is followed. Its components take
// its place on "pending" (the next one last), and "*folder" becomes the root
// for an absolute link. "*linkInfo" is the link's own status.
IoStatus FollowLink(FolderState* folder, const std::string& component,
                    std::vector<std::string>* pending, struct stat* linkInfo) {
  // The owner and the text come from one open link, so that nothing can
  // swap it in between.
  const int at = (*folder)->fd.get();
  FileDescriptor link(::openat(at, component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat folderInfo {};
  if (!link.valid() || ::fstat(link.get(), linkInfo) != 0 || ::fstat(at, &folderInfo) != 0) {
    return PosixError(errno);
  }
  if (!S_ISLNK(linkInfo->st_mode)) return IoStatus::Changed();
  if (linkInfo->st_uid != ::geteuid() && linkInfo->st_uid != folderInfo.st_uid) {
    return IoStatus::Error(kLinkNotFollowed);
  }
  std::string text;
  const IoStatus read = ReadLink(link.get(), static_cast<std::size_t>(linkInfo->st_size), &text);
  if (!read.ok()) return read;
  if (text.empty()) return PosixError(ENOENT);
  if (text.front() == '/') {
    FileDescriptor root(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) return PosixError(errno);
    *folder = WrapFolder(std::move(root));
  }
  std::size_t end = text.size();
  for (;;) {
    const std::size_t slash = text.rfind('/', end == 0 ? 0 : end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    pending->push_back(text.substr(start, end - start));
    if (slash == std::string::npos || slash == 0) break;
    end = slash;
  }
  return IoStatus::Ok();
}

// Finds where "name" in "folder" leads, following links one openat step at a
// time with FollowLink's rule applied in every folder. A link whose target is
// missing leads to the link itself.
IoStatus FindDestination(FolderState folder, std::string name, Destination* destination) {
  // The components still to walk, the next one last.
  std::vector<std::string> pending{std::move(name)};
  FolderState current = std::move(folder);
  // The first link met, replaced by the file itself when its target is missing.
  FolderState firstLinkFolder;
  std::string firstLinkName;
  struct stat firstLinkInfo {};
  int links = 0;
  while (!pending.empty()) {
    const std::string component = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty();
    if (component.empty() || component == ".") {
      if (last) return PosixError(EISDIR);
      continue;
    }
    struct stat info {};
    if (::fstatat(current->fd.get(), component.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return PosixError(errno);
      if (links > 0) {
        // A dangling link: the link itself is what gets replaced.
        destination->folder = std::move(firstLinkFolder);
        destination->name = std::move(firstLinkName);
        destination->exists = true;
        destination->info = firstLinkInfo;
        return IoStatus::Ok();
      }
      destination->folder = std::move(current);
      destination->name = component;
      destination->exists = false;
      return IoStatus::Ok();
    }
    if (S_ISLNK(info.st_mode)) {
      if (++links > kMaxLinks) return PosixError(ELOOP);
      if (links == 1) {
        firstLinkFolder = current;
        firstLinkName = component;
      }
      struct stat linkInfo {};
      const IoStatus followed = FollowLink(&current, component, &pending, &linkInfo);
      if (!followed.ok()) return followed;
      if (links == 1) firstLinkInfo = linkInfo;
      continue;
    }
    if (last) {
      destination->folder = std::move(current);
      destination->name = component;
      destination->exists = true;
      destination->info = info;
      return IoStatus::Ok();
    }
    // A folder on the way; O_NOFOLLOW fails if a link took its place meanwhile.
    FileDescriptor next(::openat(current->fd.get(), component.c_str(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) return PosixError(errno);
    current = WrapFolder(std::move(next));
  }
  return PosixError(ENOENT);
}

// Walks from "folder" through "pending" (the next component last) to a
// folder, following links with FollowLink's rule and, with "create",
// creating what is missing.
IoStatus WalkToFolder(FolderState folder, std::vector<std::string> pending, bool create,
                      FolderState* result, bool* madeLast) {
  FolderState current = std::move(folder);
  int links = 0;
  int created = 0;
  std::string made;  // the component just created, while it is looked at again
  *madeLast = false;
  while (!pending.empty()) {
    const std::string component = std::move(pending.back());
    pending.pop_back();
    if (component.empty() || component == ".") continue;
    const bool madeNow = !made.empty() && component == made;
    made.clear();
    struct stat info {};
    if (::fstatat(current->fd.get(), component.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !create) return PosixError(errno);
      if (::mkdirat(current->fd.get(), component.c_str(), 0777) == 0) {
        made = component;
      } else if (errno != EEXIST) {
        return PosixError(errno);
      }
      // Looked at again: another program may have put something else there.
      if (++created > 1000) return PosixError(ENOENT);
      pending.push_back(component);
      continue;
    }
    if (S_ISLNK(info.st_mode)) {
      if (++links > kMaxLinks) return PosixError(ELOOP);
      struct stat linkInfo {};
      const IoStatus followed = FollowLink(&current, component, &pending, &linkInfo);
      if (!followed.ok()) return followed;
      continue;
    }
    if (!S_ISDIR(info.st_mode)) return PosixError(ENOTDIR);
    FileDescriptor next(::openat(current->fd.get(), component.c_str(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) return PosixError(errno);
    current = WrapFolder(std::move(next));
    *madeLast = madeNow;
  }
  *result = std::move(current);
  return IoStatus::Ok();
}

// True when the running user may not write the file "name" in "folder": its
// permissions deny it, or (for a user whom permissions do not bind, such as
// root) it has no write permission for anyone.
bool IsReadOnly(int folder, const std::string& name, const struct stat& info) {
  if ((info.st_mode & 0222) == 0) return true;
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0) return false;
  return errno == EACCES || errno == EPERM;
}

// Opens the folder of "path", "." when it has none, through PathAt so that
// its length never matters, and sets "*name" to the last component.
IoStatus OpenFolderOf(const std::filesystem::path& path, FolderState* folder, std::string* name) {
  *name = path.filename().native();
  if (name->empty()) return PosixError(EISDIR);
  PathAt at;
  const IoStatus opened = at.Open(path.has_parent_path() ? path.parent_path() : ".");
  if (!opened.ok()) return opened;
  FileDescriptor fd(::openat(at.folder(), at.rest(), kOpenToWalk));
  if (!fd.valid()) return PosixError(errno);
  *folder = WrapFolder(std::move(fd));
  return IoStatus::Ok();
}

// Where a write to "path" lands, and whether it may land there: the one rule
// that both a write (Stage) and ProbeWrite apply. Links are followed as
// FindDestination follows them. Anything there but a regular file (a folder,
// a device, a pipe) is refused: renaming over it would destroy it. So is a
// file the running user may not write.
IoStatus ResolveWriteTarget(FolderState folder, std::string name, Destination* destination) {
  const IoStatus status = FindDestination(std::move(folder), std::move(name), destination);
  if (!status.ok() || !destination->exists) return status;
  const struct stat& existing = destination->info;
  if (S_ISLNK(existing.st_mode)) return IoStatus::Ok();  // dangling: the link is replaced
  if (S_ISDIR(existing.st_mode)) return PosixError(EISDIR);
  if (!S_ISREG(existing.st_mode)) return IoStatus::Error(kNotARegularFile);
  if (IsReadOnly(destination->folder->fd.get(), destination->name, existing)) {
    return IoStatus::Error(kReadOnly);
  }
  return IoStatus::Ok();
}

// Gives the new file "to" the extended attributes (ACLs included) of the file
// "name" in "folder"; returns what could not be kept, or empty.
std::string CopyExtendedAttributes(int folder, const std::string& name, int to) {
  FileDescriptor from(
      ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!from.valid()) return std::string("extended attributes not kept: ") + std::strerror(errno);
  std::string names;
  for (;;) {
    const ssize_t size = ::flistxattr(from.get(), nullptr, 0);
    if (size <= 0) {
      if (size == 0 || errno == ENOTSUP) return std::string();
      return std::string("extended attributes not kept: ") + std::strerror(errno);
    }
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(from.get(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE)
      return std::string("extended attributes not kept: ") + std::strerror(errno);
  }
  std::string lost;
  std::string value;
  for (std::size_t start = 0; start < names.size();) {
    const std::size_t end = std::min(names.find('\0', start), names.size());
    const std::string attribute = names.substr(start, end - start);
    start = end + 1;
    if (attribute.empty()) continue;
    bool kept = false;
    for (int attempt = 0; attempt < 4 && !kept; ++attempt) {
      const ssize_t size = ::fgetxattr(from.get(), attribute.c_str(), nullptr, 0);
      if (size < 0) break;
      value.resize(static_cast<std::size_t>(size));
      const ssize_t got = ::fgetxattr(from.get(), attribute.c_str(), value.data(), value.size());
      if (got < 0) {
        if (errno == ERANGE) continue;
        break;
      }
      kept =
          ::fsetxattr(to, attribute.c_str(), value.data(), static_cast<std::size_t>(got), 0) == 0;
      if (!kept) break;
    }
    if (!kept) lost += (lost.empty() ? "" : ", ") + attribute;
  }
  return lost.empty() ? std::string() : "extended attributes not kept: " + lost;
}

// Opens "at" for reading only when it is a regular file (opening a pipe waits
// for a writer, and opening a device may do anything): the kind is checked
// before the open (unless the listing already said "file") and again on what
// was opened, without waiting, in case something else took the name in
// between. "*info" describes the file opened.
IoStatus OpenRegularFile(const PathAt& at, bool listedAsFile, FileDescriptor* fd,
                         struct stat* info) {
  if (!listedAsFile) {
    if (::fstatat(at.folder(), at.rest(), info, 0) != 0) return PosixError(errno);
    if (S_ISDIR(info->st_mode)) return PosixError(EISDIR);
    if (!S_ISREG(info->st_mode)) return IoStatus::Error(kNotARegularFile);
  }
  *fd = FileDescriptor(
      ::openat(at.folder(), at.rest(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd->valid()) return PosixError(errno);
  if (::fstat(fd->get(), info) != 0) return PosixError(errno);
  if (S_ISDIR(info->st_mode)) return PosixError(EISDIR);
  if (!S_ISREG(info->st_mode)) return IoStatus::Error(kNotARegularFile);
  return IoStatus::Ok();
}

}  // namespace

void SetWriteWay(WriteWay way) { generalWay.store(way == WriteWay::General); }

struct StagedFile::State {
  FolderState folder;  // where the name goes
  std::string name;
  FileDescriptor file;    // the new content
  std::string temporary;  // its name in "folder"; empty while unnamed
  FileIdentity expected;  // what the name held at Stage, when replacing
  bool named = false;     // made under "name" itself, not yet committed
  dev_t device = 0;       // its file system

  ~State() {
    if (folder == nullptr) return;
    if (!temporary.empty()) ::unlinkat(folder->fd.get(), temporary.c_str(), 0);
    if (named) ::unlinkat(folder->fd.get(), name.c_str(), 0);
  }
};

StagedFile::StagedFile() = default;
StagedFile::~StagedFile() = default;
StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;

FileSystem::FileSystem() { IgnoreFileSizeSignal(); }

IoStatus FileSystem::ReadFile(const std::filesystem::path& path, std::string* bytes,
                              FileIdentity* identity, bool listedAsFile) {
  bytes->clear();
  PathAt at;
  const IoStatus opened = at.Open(path);
  if (!opened.ok()) return opened;
  struct stat info {};
  FileDescriptor fd;
  const IoStatus regular = OpenRegularFile(at, listedAsFile, &fd, &info);
  if (!regular.ok()) return regular;
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxReadableFileSize) {
    return PosixError(EFBIG);
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  bytes->resize(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd.get(), bytes->data() + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      bytes->clear();
      return PosixError(error);
    }
    if (n == 0) {
      bytes->clear();
      return IoStatus::Error("the file ended before its stated size");
    }
    got += static_cast<std::size_t>(n);
  }
  if (identity != nullptr) *identity = IdentityOf(info);
  return IoStatus::Ok();
}

IoStatus FileSystem::Stage(const FolderHandle& folderHandle, const std::filesystem::path& name,
                           std::string_view bytes, const StageOptions& options,
                           StagedFile* staged) {
  *staged = StagedFile();
  staged->target_ = folderHandle.path() / name;
  staged->size_ = bytes.size();
  if (folderHandle.state_ == nullptr) return PosixError(EBADF);
  if (name.native().find('/') != std::string::npos) return PosixError(EINVAL);

  // A new file written whole is made under its name at once, since there is
  // nothing there to keep: it is written with one call, and removed again if
  // that fails or the file is discarded (the state does it from here on).
  // Made unnamed and linked, it costs twice as much on a RAM disk, and a
  // journal update more on disk. Only a name that turns out to be taken is
  // looked up, to be replaced.
  auto state = std::make_unique<StagedFile::State>();
  if (options.whole && options.read == nullptr) {
    state->folder = folderHandle.state_;
    state->name = name.native();
    state->file = FileDescriptor(::openat(state->folder->fd.get(), state->name.c_str(),
                                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                          static_cast<mode_t>(options.permissions & 0777)));
    state->named = state->file.valid();
    if (!state->named && (errno != EEXIST || options.nameIsFree)) {
      return errno == EEXIST ? IoStatus::Changed() : PosixError(errno);
    }
  }
  Destination destination;
  IoStatus status;
  if (state->named || options.nameIsFree) {
    destination.folder = folderHandle.state_;
    destination.name = name.native();
  } else {
    status = ResolveWriteTarget(folderHandle.state_, name.native(), &destination);
    if (!status.ok()) return status;
  }
  const struct stat& existing = destination.info;
  const bool isLink = destination.exists && S_ISLNK(existing.st_mode);
  const FileIdentity found = destination.exists ? IdentityOf(existing) : FileIdentity();
  if (options.read != nullptr && (!destination.exists || found != *options.read)) {
    return IoStatus::Changed();
  }

  state->folder = std::move(destination.folder);
  state->name = std::move(destination.name);
  state->expected = found;
  state->device = destination.exists ? existing.st_dev : static_cast<dev_t>(folderHandle.device_);
  const int folder = state->folder->fd.get();
  // A new file takes the source's permission bits, less the umask (which
  // open(2) applies); a replacement is given the old file's below.
  const mode_t mode =
      destination.exists && !isLink ? 0600 : static_cast<mode_t>(options.permissions & 0777);
  // Otherwise the unnamed file (O_TMPFILE) is the quick way, and it vanishes
  // with its descriptor on any failure. A system without it, or a file system
  // that refuses it, takes a temporary name from the start.
  if (!state->file.valid() && !generalWay.load(std::memory_order_relaxed) &&
      UnnamedFilesWork(folder)) {
    state->file = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (!state->file.valid() && (errno == ENOSPC || errno == EDQUOT)) return PosixError(errno);
  }
  if (!state->file.valid()) {
    const int error = ClaimTemporaryName(
        [&](const char* temporary) {
          state->file = FileDescriptor(
              ::openat(folder, temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
          return state->file.valid() ? 0 : errno;
        },
        &state->temporary);
    if (error != 0) return PosixError(error);
  }

  status = WriteAll(state->file.get(), bytes);
  if (!status.ok()) return status;  // the state's destructor removes a named temporary
  if (destination.exists && !isLink) {
    // The owner and group first: changing them clears the set-user-ID and
    // set-group-ID bits, which the permissions then restore. Someone else's
    // file cannot be given back to its owner without privilege, and a group
    // the user is not in cannot be kept; the file then stays the user's.
    if (::fchown(state->file.get(), existing.st_uid, existing.st_gid) != 0) {
      if (errno != EPERM) return PosixError(errno);
      if (::fchown(state->file.get(), static_cast<uid_t>(-1), existing.st_gid) != 0 &&
          errno != EPERM) {
        return PosixError(errno);
      }
    }
    if (::fchmod(state->file.get(), existing.st_mode & 07777) != 0 && errno != EPERM) {
      return PosixError(errno);
    }
    staged->note_ = CopyExtendedAttributes(folder, state->name, state->file.get());
  }
  staged->replaces_ = destination.exists;
  staged->state_ = std::move(state);
  return IoStatus::Ok();
}

IoStatus FileSystem::Flush(const std::vector<StagedFile*>& files) {
  std::vector<const StagedFile::State*> staged;
  for (const StagedFile* file : files) {
    if (file->state_ != nullptr) staged.push_back(file->state_.get());
  }
  // One file alone needs only its own flush.
  if (staged.size() == 1) {
    return ::fdatasync(staged[0]->file.get()) == 0 ? IoStatus::Ok() : PosixError(errno);
  }
  // A group: one syncfs(2) per file system. It writes every dirty page and
  // inode of that file system, waits for them, and flushes the disk's cache.
  // (A flush of one file commits the journal of some file systems, but not the
  // data and inodes of the other files on every one.) The write queue flushes
  // one group while the next is being written, so no writer waits.
  std::vector<dev_t> flushed;
  for (const StagedFile::State* file : staged) {
    if (std::find(flushed.begin(), flushed.end(), file->device) != flushed.end()) continue;
    if (::syncfs(file->file.get()) != 0) return PosixError(errno);
    flushed.push_back(file->device);
  }
  return IoStatus::Ok();
}

namespace {

// Puts a new file under its name, which must still be free.
IoStatus CommitNew(StagedFile::State* state) {
  const int folder = state->folder->fd.get();
  const char* name = state->name.c_str();
  if (state->named) {
    // Already there: only closed, and removed if closing fails.
    if (state->file.Close()) {
      state->named = false;
      return IoStatus::Ok();
    }
    return PosixError(errno);
  }
  if (state->temporary.empty()) {
    const int error = LinkUnnamed(state->file.get(), folder, name);
    if (error == EEXIST) return IoStatus::Changed();
    if (error != 0) return PosixError(error);
  } else {
    const char* temporary = state->temporary.c_str();
    if (::renameat2(folder, temporary, folder, name, RENAME_NOREPLACE) != 0) {
      if (errno == EEXIST) return IoStatus::Changed();
      if (errno != EINVAL && errno != ENOSYS) return PosixError(errno);
      // Without RENAME_NOREPLACE a second link claims the name just as safely.
      if (::linkat(folder, temporary, folder, name, 0) != 0) {
        return errno == EEXIST ? IoStatus::Changed() : PosixError(errno);
      }
      ::unlinkat(folder, temporary, 0);
    }
    state->temporary.clear();
  }
  if (!state->file.Close()) {
    const int error = errno;
    ::unlinkat(folder, name, 0);
    return PosixError(error);
  }
  return IoStatus::Ok();
}

// True when "name" in "folder" is the file "identity" describes.
bool Holds(int folder, const char* name, const FileIdentity& identity) {
  struct stat info {};
  return ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && IdentityOf(info) == identity;
}

}  // namespace

IoStatus FileSystem::Commit(StagedFile* staged) {
  std::unique_ptr<StagedFile::State> state = std::move(staged->state_);
  if (state == nullptr) return IoStatus::Error("nothing was staged");
  if (!staged->replaces_) return CommitNew(state.get());

  const int folder = state->folder->fd.get();
  const char* name = state->name.c_str();
  struct stat mine {};
  if (::fstat(state->file.get(), &mine) != 0) return PosixError(errno);
  // The temporary name, given only now.
  if (state->temporary.empty()) {
    const int error = ClaimTemporaryName(
        [&](const char* temporary) { return LinkUnnamed(state->file.get(), folder, temporary); },
        &state->temporary);
    if (error != 0) return PosixError(error);
  }
  if (!state->file.Close()) return PosixError(errno);
  const char* temporary = state->temporary.c_str();

  if (!generalWay.load(std::memory_order_relaxed)) {
    if (::renameat2(folder, temporary, folder, name, RENAME_EXCHANGE) == 0) {
      if (Holds(folder, temporary, state->expected)) {
        ::unlinkat(folder, temporary, 0);  // the old file
        state->temporary.clear();
        return IoStatus::Ok();
      }
      // A stranger came out: swap it back, and remove the temporary name only
      // if it holds the new content again.
      struct stat back {};
      if (::renameat2(folder, temporary, folder, name, RENAME_EXCHANGE) != 0 ||
          ::fstatat(folder, temporary, &back, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(back, mine)) {
        state->temporary.clear();
      }
      return IoStatus::Changed();
    }
    if (errno == ENOENT) return IoStatus::Changed();  // the name was removed
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return PosixError(errno);
  }
  // Without the exchange: check the name right before the rename.
  if (!Holds(folder, name, state->expected)) return IoStatus::Changed();
  if (::renameat(folder, temporary, folder, name) != 0) return PosixError(errno);
  state->temporary.clear();
  return IoStatus::Ok();
}

IoStatus FileSystem::CreateFolders(const std::filesystem::path& path) {
  // One component at a time, each relative to the folder before it, so that
  // the length of the path never matters.
  struct Walk {
    int folder = AT_FDCWD;
    ~Walk() { MoveTo(AT_FDCWD); }
    void MoveTo(int next) {
      if (folder != AT_FDCWD) ::close(folder);
      folder = next;
    }
  } walk;
  const std::string& text = path.native();
  if (text.starts_with('/')) {
    const int root = ::open("/", kOpenToWalk);
    if (root < 0) return PosixError(errno);
    walk.MoveTo(root);
  }
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    const std::string component = text.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    int next = ::openat(walk.folder, component.c_str(), kOpenToWalk);
    if (next < 0 && errno == ENOENT) {
      if (::mkdirat(walk.folder, component.c_str(), 0777) != 0 && errno != EEXIST) {
        return PosixError(errno);
      }
      next = ::openat(walk.folder, component.c_str(), kOpenToWalk);
    }
    if (next < 0) return PosixError(errno);
    walk.MoveTo(next);
  }
  return IoStatus::Ok();
}

IoStatus FileSystem::OpenFolder(const std::filesystem::path& path, FolderHandle* folder) {
  *folder = FolderHandle();
  PathAt at;
  const IoStatus opened = at.Open(path);
  if (!opened.ok()) return opened;
  FileDescriptor fd(::openat(at.folder(), at.rest(), kOpenToWalk));
  if (!fd.valid()) return PosixError(errno);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return PosixError(errno);
  folder->path_ = path;
  folder->device_ = static_cast<std::uint64_t>(info.st_dev);
  folder->state_ = WrapFolder(std::move(fd));
  return IoStatus::Ok();
}

IoStatus FileSystem::OpenSubfolder(const FolderHandle& base, const std::filesystem::path& relative,
                                   bool create, FolderHandle* folder) {
  *folder = FolderHandle();
  if (base.state_ == nullptr) return PosixError(EBADF);
  const std::string& text = relative.native();
  if (text.starts_with('/')) return PosixError(EINVAL);
  std::vector<std::string> pending;  // the next component last
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t slash = text.rfind('/', end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    pending.push_back(text.substr(start, end - start));
    if (slash == std::string::npos) break;
    end = slash;
  }
  FolderState result;
  bool made = false;
  const IoStatus status = WalkToFolder(base.state_, std::move(pending), create, &result, &made);
  if (!status.ok()) return status;
  struct stat info {};
  if (::fstat(result->fd.get(), &info) != 0) return PosixError(errno);
  folder->path_ = base.path_ / relative;
  folder->device_ = static_cast<std::uint64_t>(info.st_dev);
  folder->created_ = made;
  folder->state_ = std::move(result);
  return IoStatus::Ok();
}

IoStatus FileSystem::FlushFolders(const std::vector<FolderHandle>& folders) {
  std::vector<dev_t> flushed;
  for (const FolderHandle& folder : folders) {
    if (folder.state_ == nullptr) continue;
    struct stat info {};
    if (::fstat(folder.state_->fd.get(), &info) != 0) return PosixError(errno);
    if (std::find(flushed.begin(), flushed.end(), info.st_dev) != flushed.end()) continue;
    // syncfs(2) takes no O_PATH descriptor: the folder is opened for reading.
    FileDescriptor readable(
        ::openat(folder.state_->fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.valid()) return PosixError(errno);
    if (::syncfs(readable.get()) != 0) return PosixError(errno);
    flushed.push_back(info.st_dev);
  }
  return IoStatus::Ok();
}

IoStatus FileSystem::ProbeWrite(const std::filesystem::path& path) {
  FolderState folder;
  std::string name;
  IoStatus resolved = OpenFolderOf(path, &folder, &name);
  if (!resolved.ok()) return resolved;
  Destination destination;
  resolved = ResolveWriteTarget(std::move(folder), std::move(name), &destination);
  if (!resolved.ok()) return resolved;
  // The new file is made in the target's folder, which must be searchable
  // and writable (open(2) there would fail with the same error).
  if (::faccessat(destination.folder->fd.get(), ".", W_OK | X_OK, 0) != 0) {
    return PosixError(errno);
  }
  return IoStatus::Ok();
}

IoStatus FileSystem::ProbeCreateFolders(const std::filesystem::path& path) {
  // The nearest folder that exists must take the first new one.
  std::filesystem::path existing = path;
  struct stat info {};
  for (;;) {
    PathAt at;
    if (at.Open(existing).ok() && ::fstatat(at.folder(), at.rest(), &info, 0) == 0) {
      if (!S_ISDIR(info.st_mode)) return PosixError(ENOTDIR);
      if (existing != path && ::faccessat(at.folder(), at.rest(), W_OK | X_OK, 0) != 0) {
        return PosixError(errno);
      }
      return IoStatus::Ok();
    }
    if (errno != ENOENT) return PosixError(errno);
    if (!existing.has_relative_path()) return PosixError(ENOENT);
    existing = existing.has_parent_path() ? existing.parent_path() : ".";
  }
}

PathKind FileSystem::KindOf(const std::filesystem::path& path) {
  PathAt at;
  if (!at.Open(path).ok()) return PathKind::Missing;
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, 0) != 0) return PathKind::Missing;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  if (S_ISREG(info.st_mode)) return PathKind::File;
  return PathKind::Other;
}

IoStatus FileSystem::Append(StagedFile* staged, std::string_view bytes) {
  if (staged->state_ == nullptr) return PosixError(EBADF);
  const IoStatus status = WriteAll(staged->state_->file.get(), bytes);
  if (!status.ok()) {
    *staged = StagedFile();
    return status;
  }
  staged->size_ += bytes.size();
  return IoStatus::Ok();
}

IoStatus FileSystem::Classify(const std::filesystem::path& path, PathKind* kind) {
  *kind = PathKind::Missing;
  // A path through a file names nothing, as a missing one does.
  const auto missing = [](int error) { return PosixError(error == ENOTDIR ? ENOENT : error); };
  PathAt at;
  if (!at.Open(path).ok()) return missing(errno);
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, 0) != 0) return missing(errno);
  *kind = S_ISDIR(info.st_mode)   ? PathKind::Folder
          : S_ISREG(info.st_mode) ? PathKind::File
                                  : PathKind::Other;
  return IoStatus::Ok();
}

IoStatus FileSystem::IdentifyFile(const std::filesystem::path& path, FileIdentity* identity) {
  PathAt at;
  const IoStatus opened = at.Open(path);
  if (!opened.ok()) return opened;
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, 0) != 0) return PosixError(errno);
  *identity = IdentityOf(info);
  return IoStatus::Ok();
}

namespace {

// An open regular file, read with read(2).
// A regular file of "size" bytes when opened: a read that stops short at
// that size is its end, without one more read to be told so (a file that
// grows meanwhile is read on).
class FileByteSource : public ByteSource {
 public:
  FileByteSource(FileDescriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

  IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    *got = 0;
    if (ended_) return IoStatus::Ok();
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, capacity);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        read_ += *got;
        ended_ = *got != 0 && *got < capacity && read_ == size_;
        return IoStatus::Ok();
      }
      if (errno != EINTR) return PosixError(errno);
    }
  }

 private:
  FileDescriptor fd_;
  std::uint64_t size_;
  std::uint64_t read_ = 0;
  bool ended_ = false;
};

}  // namespace

IoStatus FileSystem::OpenFile(const std::filesystem::path& path,
                              std::unique_ptr<ByteSource>* source, FileIdentity* identity,
                              bool listedAsFile) {
  source->reset();
  PathAt at;
  const IoStatus opened = at.Open(path);
  if (!opened.ok()) return opened;
  struct stat info {};
  FileDescriptor fd;
  const IoStatus regular = OpenRegularFile(at, listedAsFile, &fd, &info);
  if (!regular.ok()) return regular;
  // Read-ahead is widened only for a file that takes several blocks.
  constexpr off_t kLargeFile = 1 << 20;
  if (info.st_size > kLargeFile) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  if (identity != nullptr) *identity = IdentityOf(info);
  *source =
      std::make_unique<FileByteSource>(std::move(fd), static_cast<std::uint64_t>(info.st_size));
  return IoStatus::Ok();
}

std::uint64_t ThisProcess() { return static_cast<std::uint64_t>(::getpid()); }

bool ProcessMayRun(std::uint64_t process) {
  // kill(pid, 0) tells without sending anything (EPERM: it runs as another
  // user).
  const auto pid = static_cast<pid_t>(process);
  if (pid <= 0 || static_cast<std::uint64_t>(pid) != process) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

void RemoveIfRegularFile(const std::filesystem::path& path) {
  PathAt at;
  if (!at.Open(path).ok()) return;
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
    ::unlinkat(at.folder(), at.rest(), 0);
  }
}

std::uint64_t RaiseOpenFileLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    const rlim_t wanted = limit.rlim_max;
    struct rlimit raised = limit;
    raised.rlim_cur = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit.rlim_cur = wanted;
  }
  return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(limit.rlim_cur);
}

FileSystem& DefaultFileSystem() {
  static FileSystem fileSystem;
  return fileSystem;
}

}  // namespace varnoket::platform
