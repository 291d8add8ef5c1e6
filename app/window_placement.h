#ifndef VARNOKET_APP_WINDOW_PLACEMENT_H_
#define VARNOKET_APP_WINDOW_PLACEMENT_H_

#include <windows.h>

namespace varnoket::app {

// The top-left corner that centres a "width" x "height" window on "target",
// each halving rounded toward zero, then pushed back inside "workArea": when
// it sticks out on both sides, the left (top) edge wins.
POINT CentredPosition(const RECT& target, const RECT& workArea, int width, int height);

// Moves "window" without resizing, reordering or activating it. A child
// window is centred in its parent's client area. Otherwise it is centred on
// "reference" (its owner when null) or, when that is missing, hidden or
// minimised, on the desktop's work area, and kept inside the work area.
void CentreOver(HWND window, HWND reference);

}  // namespace varnoket::app

#endif  // VARNOKET_APP_WINDOW_PLACEMENT_H_
