// SPDX-License-Identifier: MIT
#include "desktop/window_placement.h"

namespace varnoket::desktop {
namespace {

// The start of one axis: centred on [targetStart, targetEnd), then kept
// inside [areaStart, areaEnd).
int CentredStart(int targetStart, int targetEnd, int areaStart, int areaEnd, int size) {
  int start = (targetStart + targetEnd) / 2 - size / 2;
  // Pushed back from the far edge first, so that the near edge wins when the
  // window is larger than the area.
  if (start + size > areaEnd) start = areaEnd - size;
  if (start < areaStart) start = areaStart;
  return start;
}

}  // namespace

ScreenPoint CentredPosition(const ScreenRect& target, const ScreenRect& workArea, int width,
                            int height) {
  return ScreenPoint{
      CentredStart(target.left, target.right, workArea.left, workArea.right, width),
      CentredStart(target.top, target.bottom, workArea.top, workArea.bottom, height)};
}

}  // namespace varnoket::desktop
