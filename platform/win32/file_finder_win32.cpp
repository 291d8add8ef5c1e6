// SPDX-License-Identifier: MIT
// Windows side of the folder enumeration: FindFirstFileW/FindNextFileW, with
// the folder resolved once by GetFullPathNameW.
#include "platform/file_finder.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_error.h"

namespace varnoket::platform {

struct FileFinder::State {
  WIN32_FIND_DATAW findData{};
  std::wstring rootFolder;
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool found = false;
  IoStatus status;

  // Records why the enumeration stopped, unless it simply ran out of entries.
  void Stopped(DWORD code) {
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_NO_MORE_FILES) {
      status = IoStatus::Error(Win32ErrorText(code));
    }
  }

  bool Next() {
    found = ::FindNextFileW(handle, &findData) != 0;
    if (!found) Stopped(::GetLastError());
    return found;
  }

  // Skips "." and ".." which a pattern such as "*" would yield.
  bool SkipDots() {
    while (found && (std::wstring_view(findData.cFileName) == L"." ||
                     std::wstring_view(findData.cFileName) == L"..")) {
      Next();
    }
    return found;
  }
};

FileFinder::FileFinder() : state_(std::make_unique<State>()) {}

FileFinder::~FileFinder() { Close(); }

bool FileFinder::FindFirst(const String& pattern) {
  Close();
  state_->status = IoStatus::Ok();
  state_->handle = ::FindFirstFileW(pattern.c_str(), &state_->findData);
  if (state_->handle == INVALID_HANDLE_VALUE) {
    state_->Stopped(::GetLastError());
    return false;
  }
  // The absolute form has no fixed length limit: ask for the size first.
  const DWORD needed = ::GetFullPathNameW(pattern.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    state_->status = IoStatus::Error(Win32ErrorText(::GetLastError()));
    Close();
    return false;
  }
  std::wstring absolute(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(pattern.c_str(), needed, absolute.data(), nullptr);
  if (length == 0 || length >= needed) {
    state_->status = IoStatus::Error(Win32ErrorText(::GetLastError()));
    Close();
    return false;
  }
  absolute.resize(length);
  const std::size_t cut = absolute.find_last_of(L"\\/");
  state_->rootFolder = cut == std::wstring::npos ? absolute : absolute.substr(0, cut);
  state_->found = true;
  if (!state_->SkipDots()) {
    Close();
    return false;
  }
  return true;
}

bool FileFinder::FindNext() {
  if (state_->handle == INVALID_HANDLE_VALUE || !state_->found) return false;
  state_->Next();
  return state_->SkipDots();
}

FileFinder::String FileFinder::FileName() const {
  return state_->found ? String(state_->findData.cFileName) : String();
}

FileFinder::String FileFinder::FilePath() const {
  if (!state_->found) return String();
  const std::wstring& root = state_->rootFolder;
  const bool endsWithSeparator = !root.empty() && (root.back() == L'\\' || root.back() == L'/');
  return root + (endsWithSeparator ? L"" : L"\\") + state_->findData.cFileName;
}

const IoStatus& FileFinder::status() const { return state_->status; }

bool FileFinder::IsFile() const {
  constexpr DWORD kNotAFile =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  return state_->found && (state_->findData.dwFileAttributes & kNotAFile) == 0;
}

bool FileFinder::IsLink() const {
  return state_->found && (state_->findData.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FileFinder::IsFolder() const {
  return state_->found && (state_->findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void FileFinder::Close() {
  if (state_->handle != INVALID_HANDLE_VALUE) ::FindClose(state_->handle);
  state_->handle = INVALID_HANDLE_VALUE;
  state_->found = false;
}

IoStatus IdentifyFolder(const std::filesystem::path& folder, FolderIdentity* identity) {
  // A folder opens as a handle only with backup semantics; no access right is
  // needed to read its identity.
  const HANDLE handle =
      ::CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return IoStatus::Error(Win32ErrorText(::GetLastError()));
  BY_HANDLE_FILE_INFORMATION information{};
  const BOOL got = ::GetFileInformationByHandle(handle, &information);
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (!got) return IoStatus::Error(Win32ErrorText(error));
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return IoStatus::Error(Win32ErrorText(ERROR_DIRECTORY));
  }
  identity->device = information.dwVolumeSerialNumber;
  identity->file =
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return IoStatus::Ok();
}

}  // namespace varnoket::platform
