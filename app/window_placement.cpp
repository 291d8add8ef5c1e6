// SPDX-License-Identifier: MIT
#include "app/window_placement.h"

#include "desktop/window_placement.h"

namespace varnoket::app {
namespace {

desktop::ScreenRect ScreenRectOf(const RECT& rect) {
  return desktop::ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

void CentreOver(HWND window, HWND reference) {
  RECT windowRect{};
  ::GetWindowRect(window, &windowRect);
  const int width = windowRect.right - windowRect.left;
  const int height = windowRect.bottom - windowRect.top;

  RECT target{};
  RECT area{};
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  if ((style & WS_CHILD) != 0) {
    // Within the parent, in the parent's client coordinates.
    const HWND parent = ::GetParent(window);
    ::GetClientRect(parent, &area);
    target = area;
  } else {
    if (reference == nullptr) reference = ::GetWindow(window, GW_OWNER);
    if (reference != nullptr && (!::IsWindowVisible(reference) || ::IsIconic(reference))) {
      reference = nullptr;
    }
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    if (reference != nullptr) {
      ::GetWindowRect(reference, &target);
    } else {
      target = area;
    }
  }

  const desktop::ScreenPoint position =
      desktop::CentredPosition(ScreenRectOf(target), ScreenRectOf(area), width, height);
  ::SetWindowPos(window, nullptr, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace varnoket::app
