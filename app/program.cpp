// SPDX-License-Identifier: MIT
#include "app/program.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/main_dialog.h"

namespace varnoket::app {

int RunProgram(HINSTANCE instance, int showCommand) {
  // A failure leaves the folder chooser without COM; the rest works.
  const HRESULT com = ::CoInitialize(nullptr);

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES;
  ::InitCommonControlsEx(&controls);

  int result = 0;
  {
    auto dialog = std::make_unique<MainDialog>();
    if (dialog->Create(instance)) {
      ::ShowWindow(dialog->window(), showCommand);
      MSG message{};
      BOOL got = FALSE;
      while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1 || dialog->HandleDialogKey(&message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      result = static_cast<int>(message.wParam);
    }
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}

int StartupShowCommand() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  ::GetStartupInfoW(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace varnoket::app
