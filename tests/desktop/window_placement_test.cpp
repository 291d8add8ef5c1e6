// SPDX-License-Identifier: MIT
// Where a window is centred: on its target, halvings rounded toward zero, and
// pushed back inside the work area.
#include "desktop/window_placement.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace varnoket::desktop {
namespace {

std::string Show(const ScreenRect& rect) {
  std::ostringstream text;
  text << '{' << rect.left << ',' << rect.top << ',' << rect.right << ',' << rect.bottom << '}';
  return text.str();
}

TEST(CentredPositionTest, CentresThenClampsEachAxis) {
  const ScreenRect area{0, 0, 1000, 800};
  // A work area on a monitor left of and above the primary one.
  const ScreenRect negative{-1001, -801, 0, 0};
  struct Case {
    ScreenRect target;
    ScreenRect area;
    int width, height;
    int x, y;
  };
  const std::vector<Case> cases = {
      // Centred on the work area itself.
      {area, area, 400, 300, 300, 250},
      // Odd sizes: each halving is rounded on its own, (0 + 1001) / 2 - 401 / 2.
      {{0, 0, 1001, 801}, area, 401, 301, 500 - 200, 400 - 150},
      // Centred on a reference inside the area.
      {{100, 100, 300, 200}, area, 100, 50, 150, 125},
      // Sticks out on the left and top: pushed to the edges.
      {{-300, -300, 100, 100}, area, 400, 400, 0, 0},
      // Sticks out on the right and bottom: pushed back by the overlap.
      {{900, 700, 1100, 900}, area, 400, 300, 600, 500},
      // Wider and taller than the area: the left and top edges win.
      {area, area, 1200, 900, 0, 0},
      // Wider than the area, centred on a reference near its right edge.
      {{900, 100, 1100, 200}, area, 1200, 50, 0, 125},
      // (-1001 + 0) / 2 = -500, 101 / 2 = 50: x = -550 (flooring would give -551).
      {negative, negative, 101, 41, -550, -400 - 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.target) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    const ScreenPoint position = CentredPosition(c.target, c.area, c.width, c.height);
    EXPECT_EQ(position.x, c.x);
    EXPECT_EQ(position.y, c.y);
  }
}

}  // namespace
}  // namespace varnoket::desktop
