// POSIX side of the file operations: read(2)/write(2) on descriptors, and an
// unnamed file linked into place or a named one renamed over the old file for
// atomic replacement.
#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/path_at.h"

namespace varnoket::platform {
namespace {

IoStatus PosixError(int error) { return IoStatus::Error(std::strerror(error)); }

// Why a pipe, a socket or a device is neither read nor replaced.
constexpr const char* kNotARegularFile = "not a regular file";

// Closes a descriptor on every path out of a scope.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes the descriptor held, if any, and holds "fd" instead.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes now and reports whether the kernel accepted the close.
  bool Close() {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
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

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

IoStatus FileSystem::ReadFile(const std::filesystem::path& path, std::string* bytes) {
  bytes->clear();
  PathAt at;
  const IoStatus opened = at.Open(path);
  if (!opened.ok()) return opened;
  // Only a regular file is opened for reading: opening a pipe waits for a
  // writer, and opening a device may do anything. The kind is checked before
  // the open and again on what was opened, without waiting, in case something
  // else took the name in between.
  struct stat info {};
  if (::fstatat(at.folder(), at.rest(), &info, 0) != 0) return PosixError(errno);
  if (S_ISDIR(info.st_mode)) return PosixError(EISDIR);
  if (!S_ISREG(info.st_mode)) return IoStatus::Error(kNotARegularFile);
  FileDescriptor fd(::openat(at.folder(), at.rest(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return PosixError(errno);
  if (::fstat(fd.get(), &info) != 0) return PosixError(errno);
  if (S_ISDIR(info.st_mode)) return PosixError(EISDIR);
  if (!S_ISREG(info.st_mode)) return IoStatus::Error(kNotARegularFile);
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
  return IoStatus::Ok();
}

namespace {

// Where a file goes: its folder, open, and its name there. Every step of a
// write is taken relative to the folder, so that the length of its path never
// matters.
struct Place {
  FileDescriptor folder{-1};
  std::string name;
};

// Opens the folder of "path" into "*place"; "." when the path has no folder.
IoStatus OpenPlace(const std::filesystem::path& path, Place* place) {
  place->name = path.filename().native();
  if (place->name.empty()) return PosixError(EISDIR);
  PathAt at;
  const IoStatus opened = at.Open(path.has_parent_path() ? path.parent_path() : ".");
  if (!opened.ok()) return opened;
  place->folder.Reset(::openat(at.folder(), at.rest(), kOpenToWalk));
  if (place->folder.get() < 0) return PosixError(errno);
  return IoStatus::Ok();
}

int LinkUnnamed(int fd, int folder, const std::string& name);

// Where a write to "path" lands: "*place" is opened on the path itself, or on
// where a link points (a link is replaced there, so the link itself
// survives); "*replacing" says whether something is there now, described in
// "*existing". Anything there but a regular file (a folder, a device, a pipe)
// is refused: renaming over it would destroy it, and writing into a pipe
// could wait forever.
IoStatus ResolveWriteTarget(const std::filesystem::path& path, Place* place, struct stat* existing,
                            bool* replacing) {
  IoStatus status = OpenPlace(path, place);
  if (!status.ok()) return status;
  *replacing =
      ::fstatat(place->folder.get(), place->name.c_str(), existing, AT_SYMLINK_NOFOLLOW) == 0;
  if (*replacing && S_ISLNK(existing->st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved != nullptr) {
      const std::filesystem::path target = resolved;
      std::free(resolved);
      status = OpenPlace(target, place);
      if (!status.ok()) return status;
      *replacing = ::fstatat(place->folder.get(), place->name.c_str(), existing, 0) == 0;
    } else if (errno == ENOENT) {
      *replacing = false;  // a dangling link is replaced by the file itself
    } else {
      return PosixError(errno);
    }
  }
  if (*replacing && S_ISDIR(existing->st_mode)) return PosixError(EISDIR);
  if (*replacing && !S_ISREG(existing->st_mode)) return IoStatus::Error(kNotARegularFile);
  return IoStatus::Ok();
}

// The general way: a named temporary file beside the target, renamed over it.
// "unnamed", when not negative, is an unnamed file that already holds "bytes"
// (from a failed attempt to link it under a name that turned out to be taken);
// it is given the temporary name instead of writing everything again, when it
// lives on the target's file system. The caller keeps ownership of it.
IoStatus WriteThroughNamedTemporary(const std::filesystem::path& path, std::string_view bytes,
                                    int unnamed = -1) {
  Place place;
  struct stat existing {};
  bool replacing = false;
  const IoStatus resolved = ResolveWriteTarget(path, &place, &existing, &replacing);
  if (!resolved.ok()) return resolved;

  // The temporary file lives beside the target so that rename(2) never crosses
  // a file system; its name is unique within this process and O_EXCL guards
  // against other processes.
  const int folder = place.folder.get();
  std::string temporary;
  const auto nextTemporary = [&] {
    temporary = place.name + ".varnoket-" + std::to_string(::getpid()) + "-" +
                std::to_string(temporaryCounter.fetch_add(1)) + ".tmp";
  };
  int raw = -1;
  bool written = false;
  if (unnamed >= 0) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      nextTemporary();
      const int error = LinkUnnamed(unnamed, folder, temporary);
      if (error == 0) {
        raw = ::dup(unnamed);
        if (raw < 0) {
          const int dupError = errno;
          ::unlinkat(folder, temporary.c_str(), 0);
          return PosixError(dupError);
        }
        written = true;
        break;
      }
      if (error != EEXIST) break;  // another file system, for one: write anew
    }
  }
  for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
    nextTemporary();
    raw = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return PosixError(errno);
  }
  if (raw < 0) return PosixError(EEXIST);
  FileDescriptor fd(raw);

  IoStatus status = written ? IoStatus::Ok() : WriteAll(fd.get(), bytes);
  if (status.ok() && replacing) {
    // Keep the replaced file's permissions, and make the new content durable
    // before the old one disappears.
    if (::fchmod(fd.get(), existing.st_mode & 07777) != 0 && errno != EPERM) {
      status = PosixError(errno);
    }
    if (status.ok() && ::fsync(fd.get()) != 0) status = PosixError(errno);
  }
  if (!fd.Close() && status.ok()) status = PosixError(errno);
  if (status.ok() && ::renameat(folder, temporary.c_str(), folder, place.name.c_str()) != 0) {
    status = PosixError(errno);
  }
  if (!status.ok()) ::unlinkat(folder, temporary.c_str(), 0);
  return status;
}

// How an unnamed file gets its name on this system, found out by the first
// write that needs it.
enum class LinkWay { Unknown, EmptyPath, ProcFd, Unsupported };
std::atomic<LinkWay> linkWay{LinkWay::Unknown};

// Gives the unnamed file open at "fd" the name "name" in "folder", which must
// be free: 0, or the errno of the failure (EEXIST when the name is taken).
int LinkUnnamed(int fd, int folder, const std::string& name) {
  const LinkWay way = linkWay.load(std::memory_order_relaxed);
  if (way != LinkWay::ProcFd) {
    if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) {
      linkWay.store(LinkWay::EmptyPath, std::memory_order_relaxed);
      return 0;
    }
    // Kernels before 6.10 refuse it (ENOENT) without CAP_DAC_READ_SEARCH.
    const int error = errno;
    if (way == LinkWay::EmptyPath || error != ENOENT) return error;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    linkWay.store(LinkWay::ProcFd, std::memory_order_relaxed);
    return 0;
  }
  const int error = errno;
  if (way == LinkWay::Unknown && error == ENOENT) {
    linkWay.store(LinkWay::Unsupported, std::memory_order_relaxed);  // no /proc either
  }
  return error;
}

}  // namespace

IoStatus FileSystem::WriteFileAtomically(const std::filesystem::path& path,
                                         std::string_view bytes) {
  Place place;
  const IoStatus opened = OpenPlace(path, &place);
  if (!opened.ok()) return opened;
  // A new name takes the quick way: an unnamed file (O_TMPFILE) in the target's
  // folder, which gets the name only once every byte is written and vanishes
  // with its descriptor on any failure; linking never replaces anything, and
  // a new file needs no durable-write wait. A name already taken (a file, a
  // link, a folder, a pipe), or a system without unnamed files, goes the
  // general way.
  if (linkWay.load(std::memory_order_relaxed) != LinkWay::Unsupported) {
    FileDescriptor fd(::openat(place.folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (fd.get() >= 0) {
      const IoStatus status = WriteAll(fd.get(), bytes);
      if (!status.ok()) return status;
      const int error = LinkUnnamed(fd.get(), place.folder.get(), place.name);
      if (error == 0) {
        if (fd.Close()) return IoStatus::Ok();
        const int closeError = errno;
        ::unlinkat(place.folder.get(), place.name.c_str(), 0);
        return PosixError(closeError);
      }
      // The name is taken: replace it without writing the bytes again.
      if (error == EEXIST) return WriteThroughNamedTemporary(path, bytes, fd.get());
    }
  }
  return WriteThroughNamedTemporary(path, bytes);
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

IoStatus FileSystem::ProbeWrite(const std::filesystem::path& path) {
  Place place;
  struct stat existing {};
  bool replacing = false;
  const IoStatus resolved = ResolveWriteTarget(path, &place, &existing, &replacing);
  if (!resolved.ok()) return resolved;
  // The new file is made in the target's folder, which must be searchable
  // and writable (open(2) there would fail with the same error).
  if (::faccessat(place.folder.get(), ".", W_OK | X_OK, 0) != 0) return PosixError(errno);
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

FileSystem& DefaultFileSystem() {
  static FileSystem fileSystem;
  return fileSystem;
}

}  // namespace varnoket::platform
