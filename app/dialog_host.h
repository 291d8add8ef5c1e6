// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_DIALOG_HOST_H_
#define VARNOKET_APP_DIALOG_HOST_H_

#include <windows.h>

#include <string>

namespace varnoket::app {

// The modal windows that the main dialog opens and waits for: message boxes
// and the folder chooser. This object shows the real ones; tests derive from
// it to see the messages and answer the chooser without a person.
class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Shows a message box owned by "owner" and returns MessageBoxW's answer once
  // it is closed. "type" is a combination of MB_* flags.
  virtual int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption,
                          UINT type);

  // Lets the user pick a folder (FolderChooser::Choose) and returns its
  // result; on FolderChooser::kChosen "*path" receives the folder.
  virtual int ChooseFolder(HWND owner, std::wstring* path);
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_DIALOG_HOST_H_
