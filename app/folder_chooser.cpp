// SPDX-License-Identifier: MIT
#include "app/folder_chooser.h"

namespace varnoket::app {
namespace {

// Frees an item list through the shell's allocator.
void FreeItem(PIDLIST_ABSOLUTE item) {
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(item);
    allocator->Release();
  }
}

}  // namespace

FolderChooser::FolderChooser() {
  request_.hwndOwner = nullptr;
  request_.pidlRoot = nullptr;  // the top of the shell's namespace
  request_.pszDisplayName = displayName_;
  request_.lpszTitle = nullptr;
  request_.ulFlags = BIF_RETURNONLYFSDIRS;
  request_.lpfn = nullptr;  // no callback, so nothing is preselected
  request_.lParam = reinterpret_cast<LPARAM>(this);
  request_.iImage = 0;
}

int FolderChooser::Choose(HWND owner) {
  if (request_.hwndOwner == nullptr) request_.hwndOwner = owner;
  path_[0] = L'\0';
  const PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&request_);
  if (item == nullptr) return kCancelled;
  const bool hasPath = ::SHGetPathFromIDListW(item, path_) != FALSE;
  FreeItem(item);
  if (!hasPath) {
    path_[0] = L'\0';
    return kNoFileSystemPath;
  }
  return kChosen;
}

}  // namespace varnoket::app
