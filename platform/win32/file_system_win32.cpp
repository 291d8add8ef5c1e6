// Windows side of the file operations: wide-path CreateFileW/ReadFile/WriteFile
// and MoveFileExW for atomic replacement.
#include "platform/file_system.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <system_error>

#include "platform/text_codec.h"
#include "platform/win32/win32_error.h"

namespace varnoket::platform {
namespace {

IoStatus Win32Error(DWORD code) { return IoStatus::Error(Win32ErrorText(code)); }

// Closes a handle on every path out of a scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!valid()) return true;
    const BOOL closed = ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed != 0;
  }

 private:
  HANDLE handle_;
};

std::atomic<unsigned> temporaryCounter{0};

// "The directory is not supported": mingw-w64's headers lack the name.
constexpr DWORD kErrorDirectoryNotSupported = 336;

// Anything there but a file (a folder, a device) is never replaced by one.
IoStatus CheckReplaceable(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return IoStatus::Ok();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Win32Error(kErrorDirectoryNotSupported);
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return IoStatus::Error("not a regular file");
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

IoStatus FileSystem::ReadFile(const std::filesystem::path& path, std::string* bytes) {
  bytes->clear();
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) return Win32Error(::GetLastError());
  // A pipe or a device could make the read wait forever.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) return IoStatus::Error("not a regular file");
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) return Win32Error(::GetLastError());
  if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > kMaxReadableFileSize) {
    return Win32Error(ERROR_FILE_TOO_LARGE);
  }
  bytes->resize(static_cast<std::size_t>(size.QuadPart));
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
  return IoStatus::Ok();
}

IoStatus FileSystem::WriteFileAtomically(const std::filesystem::path& path,
                                         std::string_view bytes) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  const bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
  const IoStatus replaceable = CheckReplaceable(attributes);
  if (!replaceable.ok()) return replaceable;

  std::filesystem::path temporary;
  HANDLE raw = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = path;
    temporary += L".varnoket-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(temporaryCounter.fetch_add(1)) + L".tmp";
    raw = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
      return Win32Error(::GetLastError());
    }
  }
  if (raw == INVALID_HANDLE_VALUE) return Win32Error(ERROR_FILE_EXISTS);
  Handle file(raw);

  IoStatus status;
  std::size_t done = 0;
  while (status.ok() && done < bytes.size()) {
    const std::size_t chunk = bytes.size() - done < 0x40000000 ? bytes.size() - done : 0x40000000;
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(chunk), &written,
                     nullptr)) {
      status = Win32Error(::GetLastError());
    } else if (written == 0) {
      status = Win32Error(ERROR_WRITE_FAULT);
    }
    done += written;
  }
  if (status.ok() && replacing && !::FlushFileBuffers(file.get())) {
    status = Win32Error(::GetLastError());
  }
  if (!file.Close() && status.ok()) status = Win32Error(::GetLastError());
  if (status.ok() && !::MoveFileExW(temporary.c_str(), path.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    status = Win32Error(::GetLastError());
  }
  if (!status.ok()) ::DeleteFileW(temporary.c_str());
  return status;
}

IoStatus FileSystem::CreateFolders(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return IoStatus::Error(error.message());
  if (!std::filesystem::is_directory(path, error)) return Win32Error(ERROR_DIRECTORY);
  return IoStatus::Ok();
}

IoStatus FileSystem::ProbeWrite(const std::filesystem::path& path) {
  const IoStatus replaceable = CheckReplaceable(::GetFileAttributesW(path.c_str()));
  if (!replaceable.ok()) return replaceable;
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

FileSystem& DefaultFileSystem() {
  static FileSystem fileSystem;
  return fileSystem;
}

}  // namespace varnoket::platform
