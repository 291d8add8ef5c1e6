// SPDX-License-Identifier: MIT
#include "app/about_dialog.h"

#include "app/window_placement.h"
#include "res/resource_ids.h"

namespace varnoket::app {

INT_PTR AboutDialog::Run(HINSTANCE instance, HWND owner) {
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT_BOX), owner, &DialogProc, 0);
}

INT_PTR CALLBACK AboutDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CentreOver(window, nullptr);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id == IDOK || id == IDCANCEL) {
        ::EndDialog(window, id);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return FALSE;
}

}  // namespace varnoket::app
