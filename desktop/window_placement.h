// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_WINDOW_PLACEMENT_H_
#define VARNOKET_DESKTOP_WINDOW_PLACEMENT_H_

namespace varnoket::desktop {

// A rectangle on the screen, in pixels. "right" and "bottom" lie one past its
// last pixel, as Windows counts them.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

// The top-left corner that centres a "width" x "height" window on "target",
// each halving rounded toward zero, then pushed back inside "workArea": where
// it sticks out on both sides, the left (top) edge wins.
ScreenPoint CentredPosition(const ScreenRect& target, const ScreenRect& workArea, int width,
                            int height);

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_WINDOW_PLACEMENT_H_
