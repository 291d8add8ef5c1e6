// SPDX-License-Identifier: MIT
// Windows side of the file operations: wide-path CreateFileW/ReadFile/WriteFile,
// ReplaceFileW for atomic replacement and MoveFileExW for new names, with the
// file identity from GetFileInformationByHandle.
#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "platform/byte_source.h"
#include "platform/temporary_name.h"
#include "platform/win32/win32_error.h"
#include "sgf/utf8.h"

namespace varnoket::platform {
namespace {

IoStatus Win32Error(DWORD code) {
  if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) {
    return IoStatus::NoSpace(Win32ErrorText(code));
  }
  return IoStatus::Error(Win32ErrorText(code));
}

// Closes a handle on every path out of a scope.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!valid()) return true;
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != 0;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

std::atomic<std::uint64_t> temporaryCounter{0};

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.modified =
      static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime);
  return identity;
}

// What stands at "path" now: false with ERROR_FILE_NOT_FOUND when nothing
// does. Links are followed, as every other call here follows them.
bool Inspect(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION* info, DWORD* error,
             bool* isDisk) {
  Handle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    *error = ::GetLastError();
    return false;
  }
  *isDisk = ::GetFileType(file.get()) == FILE_TYPE_DISK;
  if (*isDisk && !::GetFileInformationByHandle(file.get(), info)) {
    *error = ::GetLastError();
    return false;
  }
  return true;
}

// "The directory is not supported": mingw-w64's headers lack the name.
constexpr DWORD kErrorDirectoryNotSupported = 336;

// Whether a write to "path" may replace what stands there, the one rule that
// both a write (Stage) and ProbeWrite apply: "*exists" says whether anything
// does, described in "*existing". A folder or a device is never replaced by a
// file, nor a file with the read-only attribute.
IoStatus ResolveWriteTarget(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION* existing,
                            bool* exists) {
  DWORD error = ERROR_SUCCESS;
  bool isDisk = true;
  *exists = Inspect(path, existing, &error, &isDisk);
  if (!*exists) {
    return error == ERROR_FILE_NOT_FOUND ? IoStatus::Ok() : Win32Error(error);
  }
  if (!isDisk) return IoStatus::Error(kNotARegularFile);  // a device
  if ((existing->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Win32Error(kErrorDirectoryNotSupported);
  }
  if ((existing->dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return IoStatus::Error(kReadOnly);
  }
  return IoStatus::Ok();
}

}  // namespace

std::string Win32ErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (length > 0 && text != nullptr) {
    std::u16string wide(reinterpret_cast<const char16_t*>(text), length);
    while (!wide.empty() && (wide.back() == u'\r' || wide.back() == u'\n' || wide.back() == u' ' ||
                             wide.back() == u'.')) {
      wide.pop_back();
    }
    AppendUtf8(wide, &result);
  } else {
    result = "system error " + std::to_string(code);
  }
  if (text != nullptr) ::LocalFree(text);
  return result;
}

struct StagedFile::State {
  std::filesystem::path target;
  std::filesystem::path temporary;  // empty once it took the target's name
  Handle file;                      // open from Stage to Commit
  FileIdentity expected;            // what the name held at Stage, when replacing

  ~State() {
    file.Close();
    if (!temporary.empty()) ::DeleteFileW(temporary.c_str());
  }
};

StagedFile::StagedFile() = default;
StagedFile::~StagedFile() = default;
StagedFile::StagedFile(StagedFile&&) noexcept = default;
StagedFile& StagedFile::operator=(StagedFile&&) noexcept = default;

FileSystem::FileSystem() = default;

IoStatus FileSystem::ReadFile(const std::filesystem::path& path, std::string* bytes,
                              FileIdentity* identity, bool) {
  bytes->clear();
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return Win32Error(::GetLastError());
  // A pipe or a device could make the read wait forever.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return IoStatus::Error(kNotARegularFile);
  // The identity only when asked for: it costs a query of the volume as well.
  FileIdentity read;
  if (identity != nullptr) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return Win32Error(::GetLastError());
    read = IdentityOf(info);
  } else {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return Win32Error(::GetLastError());
    read.size = static_cast<std::uint64_t>(size.QuadPart);
  }
  if (read.size > kMaxReadableFileSize) return Win32Error(ERROR_FILE_TOO_LARGE);
  bytes->resize(static_cast<std::size_t>(read.size));
  std::size_t got = 0;
  while (got < bytes->size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(bytes->size() - got);
    if (!::ReadFile(file.get(), bytes->data() + got, want, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      bytes->clear();
      return Win32Error(error);
    }
    if (n == 0) {
      bytes->clear();
      return IoStatus::Error("the file ended before its stated size");
    }
    got += n;
  }
  if (identity != nullptr) *identity = read;
  return IoStatus::Ok();
}

// Windows has no folder descriptors to write relative to: a handle is the
// folder's path.
struct FolderHandle::State {};

IoStatus FileSystem::OpenFolder(const std::filesystem::path& path, FolderHandle* folder) {
  *folder = FolderHandle();
  // A folder that is missing, or is a file, is reported as creating a file
  // in it would report it, and as the dry run's probe foresees it.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return Win32Error(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Win32Error(ERROR_PATH_NOT_FOUND);
  folder->path_ = path;
  folder->state_ = std::make_shared<const FolderHandle::State>();
  return IoStatus::Ok();
}

IoStatus FileSystem::OpenSubfolder(const FolderHandle& base, const std::filesystem::path& relative,
                                   bool create, FolderHandle* folder) {
  *folder = FolderHandle();
  if (base.state_ == nullptr) return Win32Error(ERROR_INVALID_HANDLE);
  const std::filesystem::path path = base.path_ / relative;
  const bool missing = ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
  if (create) {
    const IoStatus created = CreateFolders(path);
    if (!created.ok()) return created;
  }
  const IoStatus opened = OpenFolder(path, folder);
  folder->created_ = opened.ok() && create && missing;
  return opened;
}

IoStatus FileSystem::FlushFolders(const std::vector<FolderHandle>&) {
  // Each new file was flushed at Commit: a whole volume can be flushed only
  // with administrator rights.
  return IoStatus::Ok();
}

IoStatus FileSystem::Stage(const FolderHandle& folderHandle, const std::filesystem::path& name,
                           std::string_view bytes, const StageOptions& options,
                           StagedFile* staged) {
  *staged = StagedFile();
  const std::filesystem::path path = folderHandle.path() / name;
  staged->target_ = path;
  staged->size_ = bytes.size();
  const FileIdentity* read = options.read;

  BY_HANDLE_FILE_INFORMATION existing{};
  bool exists = false;
  const IoStatus status = ResolveWriteTarget(path, &existing, &exists);
  if (!status.ok()) return status;
  const FileIdentity found = exists ? IdentityOf(existing) : FileIdentity();
  if (read != nullptr && (!exists || found != *read)) return IoStatus::Changed();

  // No unnamed files here: the temporary file has its short name from the
  // start, beside the target so that the rename never crosses a volume. Both
  // are named in full, with backslashes: Wine's ReplaceFileW, at least, fails
  // ("The directory name is invalid") on a name with forward slashes or
  // without a folder.
  std::error_code error;
  std::filesystem::path target = std::filesystem::absolute(path, error);
  if (error) return IoStatus::Error(error.message());
  target.make_preferred();
  auto state = std::make_unique<StagedFile::State>();
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100 && !state->file.valid(); ++attempt) {
    const std::filesystem::path temporary =
        folder / TemporaryName<wchar_t>(::GetCurrentProcessId(), temporaryCounter.fetch_add(1));
    state->file = Handle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (state->file.valid()) {
      state->temporary = temporary;
    } else if (::GetLastError() != ERROR_FILE_EXISTS) {
      return Win32Error(::GetLastError());
    }
  }
  if (!state->file.valid()) return Win32Error(ERROR_FILE_EXISTS);
  state->target = std::move(target);
  state->expected = found;
  // From here on the state's destructor removes the temporary file on failure.
  StagedFile::State& written = *state;
  staged->state_ = std::move(state);

  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = bytes.size() - done < 0x40000000 ? bytes.size() - done : 0x40000000;
    DWORD count = 0;
    if (!::WriteFile(written.file.get(), bytes.data() + done, static_cast<DWORD>(chunk), &count,
                     nullptr)) {
      const DWORD writeError = ::GetLastError();
      staged->state_.reset();
      return Win32Error(writeError);
    }
    if (count == 0) {
      staged->state_.reset();
      return Win32Error(ERROR_WRITE_FAULT);
    }
    done += count;
  }
  staged->replaces_ = exists;
  return IoStatus::Ok();
}

IoStatus FileSystem::Flush(const std::vector<StagedFile*>& files) {
  // A whole volume can be flushed only with administrator rights: each file
  // is flushed on its own.
  for (const StagedFile* file : files) {
    if (file->state_ != nullptr && !::FlushFileBuffers(file->state_->file.get())) {
      return Win32Error(::GetLastError());
    }
  }
  return IoStatus::Ok();
}

IoStatus FileSystem::Commit(StagedFile* staged) {
  std::unique_ptr<StagedFile::State> state = std::move(staged->state_);
  if (state == nullptr) return IoStatus::Error("nothing was staged");
  // A new file's content is flushed on its own, for want of anything coarser
  // without administrator rights: a run's files are on disk when it reports
  // them cleaned. A replacement was flushed with its group.
  if (!staged->replaces_ && !::FlushFileBuffers(state->file.get())) {
    return Win32Error(::GetLastError());
  }
  if (!state->file.Close()) return Win32Error(::GetLastError());
  const wchar_t* target = state->target.c_str();
  const wchar_t* temporary = state->temporary.c_str();

  if (!staged->replaces_) {
    // A new name: the move fails if another file took it meanwhile.
    if (!::MoveFileExW(temporary, target, 0)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return IoStatus::Changed();
      return Win32Error(error);
    }
    state->temporary.clear();
    return IoStatus::Ok();
  }

  // No atomic exchange here: the name is checked immediately before it is
  // replaced.
  BY_HANDLE_FILE_INFORMATION now{};
  DWORD error = ERROR_SUCCESS;
  bool isDisk = true;
  if (!platform::Inspect(state->target, &now, &error, &isDisk)) {
    return error == ERROR_FILE_NOT_FOUND ? IoStatus::Changed() : Win32Error(error);
  }
  if (!isDisk || IdentityOf(now) != state->expected) return IoStatus::Changed();
  // ReplaceFileW keeps what the old file had (its security, owner included
  // where the caller may set it, and its attributes).
  if (!::ReplaceFileW(target, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr)) {
    error = ::GetLastError();
    // The old file is gone or renamed and the new one still has the temporary
    // name (1176, 1177), or the volume cannot replace files: move it into place.
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION) {
      return Win32Error(error);
    }
    if (!::MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Win32Error(::GetLastError());
    }
  }
  state->temporary.clear();
  return IoStatus::Ok();
}

IoStatus FileSystem::CreateFolders(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return IoStatus::Error(error.message());
  if (!std::filesystem::is_directory(path, error)) return Win32Error(ERROR_DIRECTORY);
  return IoStatus::Ok();
}

IoStatus FileSystem::ProbeWrite(const std::filesystem::path& path) {
  BY_HANDLE_FILE_INFORMATION existing{};
  bool exists = false;
  const IoStatus resolved = ResolveWriteTarget(path, &existing, &exists);
  if (!resolved.ok()) return resolved;
  // The temporary file is made in the same folder; creating it anywhere else
  // fails as a missing path.
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : L".";
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Win32Error(ERROR_PATH_NOT_FOUND);
  }
  return IoStatus::Ok();
}

IoStatus FileSystem::ProbeCreateFolders(const std::filesystem::path& path) {
  // The nearest thing that exists must be a folder, as CreateFolders finds.
  std::filesystem::path existing = path;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  while ((attributes = ::GetFileAttributesW(existing.c_str())) == INVALID_FILE_ATTRIBUTES) {
    if (!existing.has_relative_path()) return Win32Error(ERROR_PATH_NOT_FOUND);
    existing = existing.has_parent_path() ? existing.parent_path() : L".";
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return IoStatus::Error(std::make_error_code(std::errc::not_a_directory).message());
  }
  return IoStatus::Ok();
}

PathKind FileSystem::KindOf(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::Other;
  return PathKind::File;
}

IoStatus FileSystem::Append(StagedFile* staged, std::string_view bytes) {
  if (staged->state_ == nullptr) return Win32Error(ERROR_INVALID_HANDLE);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 0x40000000);
    DWORD count = 0;
    const BOOL written = ::WriteFile(staged->state_->file.get(), bytes.data() + done,
                                     static_cast<DWORD>(chunk), &count, nullptr);
    if (!written || count == 0) {
      const DWORD error = written ? ERROR_WRITE_FAULT : ::GetLastError();
      *staged = StagedFile();
      return Win32Error(error);
    }
    done += count;
  }
  staged->size_ += bytes.size();
  return IoStatus::Ok();
}

IoStatus FileSystem::Classify(const std::filesystem::path& path, PathKind* kind) {
  *kind = PathKind::Missing;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    // Nothing there is told in the C library's words, as on POSIX.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH) {
      return IoStatus::Error(std::strerror(ENOENT));
    }
    return Win32Error(error);
  }
  *kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder
          : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? PathKind::Other
                                                       : PathKind::File;
  return IoStatus::Ok();
}

IoStatus FileSystem::IdentifyFile(const std::filesystem::path& path, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD error = 0;
  bool isDisk = false;
  if (!Inspect(path, &info, &error, &isDisk)) return Win32Error(error);
  if (!isDisk) return IoStatus::Error(kNotARegularFile);
  *identity = IdentityOf(info);
  return IoStatus::Ok();
}

namespace {

// An open file, read with ReadFile; the handle's own 64-bit position carries
// it past 4 GiB.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(Handle file) : file_(std::move(file)) {}

  IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(capacity, 1u << 30));
    if (!::ReadFile(file_.get(), buffer, want, &n, nullptr)) {
      *got = 0;
      return Win32Error(::GetLastError());
    }
    *got = n;
    return IoStatus::Ok();
  }

 private:
  Handle file_;
};

}  // namespace

IoStatus FileSystem::OpenFile(const std::filesystem::path& path,
                              std::unique_ptr<ByteSource>* source, FileIdentity* identity,
                              bool /*listedAsFile*/) {
  source->reset();
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return Win32Error(::GetLastError());
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return IoStatus::Error(kNotARegularFile);
  if (identity != nullptr) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return Win32Error(::GetLastError());
    *identity = IdentityOf(info);
  }
  *source = std::make_unique<FileByteSource>(std::move(file));
  return IoStatus::Ok();
}

std::uint64_t ThisProcess() { return ::GetCurrentProcessId(); }

bool ProcessMayRun(std::uint64_t process) {
  const auto id = static_cast<DWORD>(process);
  if (id != process) return false;
  constexpr DWORD kQueryLimitedInformation = 0x1000;  // PROCESS_QUERY_LIMITED_INFORMATION
  const HANDLE handle = ::OpenProcess(kQueryLimitedInformation, FALSE, id);
  if (handle == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool runs = ::GetExitCodeProcess(handle, &code) && code == STILL_ACTIVE;
  ::CloseHandle(handle);
  return runs;
}

void RemoveIfRegularFile(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes &
       (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return;
  }
  ::DeleteFileW(path.c_str());
}

std::uint64_t RaiseOpenFileLimit() { return 16384; }

FileSystem& DefaultFileSystem() {
  static FileSystem fileSystem;
  return fileSystem;
}

}  // namespace varnoket::platform
