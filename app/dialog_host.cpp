// SPDX-License-Identifier: MIT
#include "app/dialog_host.h"

#include "app/folder_chooser.h"

namespace varnoket::app {

int DialogHost::ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption,
                            UINT type) {
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

int DialogHost::ChooseFolder(HWND owner, std::wstring* path) {
  FolderChooser chooser;
  const int result = chooser.Choose(owner);
  if (result == FolderChooser::kChosen) *path = chooser.path();
  return result;
}

}  // namespace varnoket::app
