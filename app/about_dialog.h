// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_ABOUT_DIALOG_H_
#define VARNOKET_APP_ABOUT_DIALOG_H_

#include <windows.h>

namespace varnoket::app {

// The About box: the program's name, version and icon, closed by OK, Enter,
// Esc or its close button.
class AboutDialog {
 public:
  AboutDialog() = default;
  AboutDialog(const AboutDialog&) = delete;
  AboutDialog& operator=(const AboutDialog&) = delete;

  // Shows the box modally from template IDD_ABOUT_BOX of "instance", centred
  // over "owner", which is disabled meanwhile. Returns the id of the command
  // that closed it (IDOK or IDCANCEL), or -1 when it could not be shown.
  INT_PTR Run(HINSTANCE instance, HWND owner);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_ABOUT_DIALOG_H_
