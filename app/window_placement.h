// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_WINDOW_PLACEMENT_H_
#define VARNOKET_APP_WINDOW_PLACEMENT_H_

#include <windows.h>

namespace varnoket::app {

// Moves "window" without resizing, reordering or activating it. A child
// window is centred in its parent's client area. Otherwise it is centred on
// "reference" (its owner when null) or, when that is missing, hidden or
// minimised, on the desktop's work area, and kept inside the work area
// (desktop::CentredPosition).
void CentreOver(HWND window, HWND reference);

}  // namespace varnoket::app

#endif  // VARNOKET_APP_WINDOW_PLACEMENT_H_
