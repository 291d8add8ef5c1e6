// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_WINDOW_ICON_H_
#define VARNOKET_APP_WINDOW_ICON_H_

#include <windows.h>

namespace varnoket::app {

// The program's icon in the caption of every window the program opens: the
// main dialog, and the About box, message boxes and folder chooser that it
// opens, which would otherwise show the system's default icon.
class WindowIcon {
 public:
  // Loads icon IDI_VARNOKET of "instance" in the caption's and the task
  // switcher's sizes (when it is missing, windows keep the system's), and
  // from now on gives it to every window that the calling thread activates
  // with no small icon of its own. One instance per thread at a time.
  explicit WindowIcon(HINSTANCE instance);
  // Stops giving the icon and frees it; the windows that have it must be
  // gone.
  ~WindowIcon();
  WindowIcon(const WindowIcon&) = delete;
  WindowIcon& operator=(const WindowIcon&) = delete;

  // Gives "window" the icon in both sizes.
  void SetOn(HWND window) const;

 private:
  static LRESULT CALLBACK OnWindowEvent(int code, WPARAM wParam, LPARAM lParam);

  HICON big_ = nullptr;
  HICON small_ = nullptr;
  HHOOK hook_ = nullptr;
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_WINDOW_ICON_H_
