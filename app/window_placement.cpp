#include "app/window_placement.h"

namespace varnoket::app {
namespace {

// The position of one axis: centred on [targetStart, targetEnd), then kept
// inside [areaStart, areaEnd).
LONG CentreAxis(LONG targetStart, LONG targetEnd, LONG areaStart, LONG areaEnd, LONG size) {
  LONG position = (targetStart + targetEnd) / 2 - size / 2;
  if (position < areaStart) {
    position = areaStart;
  } else if (position + size > areaEnd) {
    position = areaEnd - size;
  }
  return position;
}

}  // namespace

POINT CentredPosition(const RECT& target, const RECT& workArea, int width, int height) {
  return POINT{CentreAxis(target.left, target.right, workArea.left, workArea.right, width),
               CentreAxis(target.top, target.bottom, workArea.top, workArea.bottom, height)};
}

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

  const POINT position = CentredPosition(target, area, width, height);
  ::SetWindowPos(window, nullptr, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace varnoket::app
