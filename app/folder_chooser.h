// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_FOLDER_CHOOSER_H_
#define VARNOKET_APP_FOLDER_CHOOSER_H_

#include <shlobj.h>
#include <windows.h>

#include <string>

namespace varnoket::app {

// One browse for a folder through the shell's chooser, which opens at the top
// of the shell's namespace and offers only file-system folders. Needs COM
// initialised on the calling thread.
class FolderChooser {
 public:
  // What Choose reports.
  static constexpr int kChosen = 1;
  static constexpr int kNoFileSystemPath = 2;
  static constexpr int kCancelled = -1;

  FolderChooser();
  FolderChooser(const FolderChooser&) = delete;
  FolderChooser& operator=(const FolderChooser&) = delete;

  // Shows the chooser modally over "owner" (unless an owner was set before)
  // and waits for the user. Returns kChosen with the folder in path(),
  // kNoFileSystemPath when the chosen item is no file-system folder, or
  // kCancelled.
  int Choose(HWND owner);

  // The chosen folder's full path, exactly as the shell gives it; empty
  // unless Choose returned kChosen.
  std::wstring path() const { return path_; }

 private:
  BROWSEINFOW request_{};
  wchar_t displayName_[MAX_PATH] = {};
  wchar_t path_[MAX_PATH] = {};
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_FOLDER_CHOOSER_H_
