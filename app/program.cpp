// SPDX-License-Identifier: MIT
#include "app/program.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/main_dialog.h"
#include "app/message_loop.h"
#include "app/module_state.h"

namespace varnoket::app {

int RunProgram(HINSTANCE instance, int showCommand) {
  // A failure leaves the folder chooser without COM; the rest works.
  const HRESULT com = ::CoInitialize(nullptr);

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES;
  ::InitCommonControlsEx(&controls);

  Module().Init(instance);
  int result = 0;
  {
    const DWORD thread = ::GetCurrentThreadId();
    MessageLoop loop;
    Module().AddMessageLoop(thread, &loop);
    auto dialog = std::make_unique<MainDialog>();
    if (dialog->Create(instance)) {
      ::ShowWindow(dialog->window(), showCommand);
      result = loop.Run();
    }
    Module().RemoveMessageLoop(thread);
    dialog.reset();
  }
  Module().Term();
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
