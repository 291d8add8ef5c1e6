// Where CentreOver puts a window: centred on its reference or the work area,
// halvings rounded toward zero, and pushed back inside the work area.
#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnoket::app {
namespace {

std::string Show(const RECT& rect) {
  return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "}";
}

TEST(CentredPositionTest, CentresThenClampsEachAxis) {
  const RECT area{0, 0, 1000, 800};
  struct Case {
    RECT target;
    int width, height;
    LONG x, y;
  };
  const std::vector<Case> cases = {
      // Centred on the work area itself.
      {area, 400, 300, 300, 250},
      // Odd sizes: each halving is rounded on its own, (0 + 1001) / 2 - 401 / 2.
      {{0, 0, 1001, 801}, 401, 301, 500 - 200, 400 - 150},
      // Centred on a reference inside the area.
      {{100, 100, 300, 200}, 100, 50, 150, 125},
      // Sticks out on the left and top: pushed to the edges.
      {{-300, -300, 100, 100}, 400, 400, 0, 0},
      // Sticks out on the right and bottom: pushed back by the overlap.
      {{900, 700, 1100, 900}, 400, 300, 600, 500},
      // Wider and taller than the area: the left and top edges win.
      {area, 1200, 900, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Show(c.target) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    const POINT position = CentredPosition(c.target, area, c.width, c.height);
    EXPECT_EQ(position.x, c.x);
    EXPECT_EQ(position.y, c.y);
  }
}

TEST(CentredPositionTest, HalvingsRoundTowardZeroOnNegativeCoordinates) {
  // A work area on a monitor left of and above the primary one.
  const RECT area{-1001, -801, 0, 0};
  // (-1001 + 0) / 2 = -500, 101 / 2 = 50: x = -550 (flooring would give -551).
  const POINT position = CentredPosition(area, area, 101, 41);
  EXPECT_EQ(position.x, -550);
  EXPECT_EQ(position.y, -400 - 20);
}

// Real top-level windows: an owner and a popup that it owns.
class CentreOverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area_, 0);
    owner_ = MakeWindow(nullptr, 300, 200);
    popup_ = MakeWindow(owner_, 120, 80);
  }
  void TearDown() override {
    ::DestroyWindow(popup_);
    ::DestroyWindow(owner_);
  }

  static HWND MakeWindow(HWND owner, int width, int height) {
    return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_BORDER, 0, 0, width, height, owner,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  static RECT Rect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
  }
  void MoveOwner(int x, int y) {
    ::SetWindowPos(owner_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  POINT PopupCorner() const {
    const RECT rect = Rect(popup_);
    return POINT{rect.left, rect.top};
  }
  POINT Expected(const RECT& target) const {
    const RECT popup = Rect(popup_);
    return CentredPosition(target, area_, popup.right - popup.left, popup.bottom - popup.top);
  }

  RECT area_{};
  HWND owner_ = nullptr;
  HWND popup_ = nullptr;
};

TEST_F(CentreOverTest, CentresOverTheVisibleOwnerWhenNoReferenceIsGiven) {
  ASSERT_NE(popup_, nullptr);
  MoveOwner(area_.left + 40, area_.top + 30);
  ::ShowWindow(owner_, SW_SHOWNOACTIVATE);
  CentreOver(popup_, nullptr);
  const POINT corner = PopupCorner();
  const POINT expected = Expected(Rect(owner_));
  EXPECT_EQ(corner.x, expected.x);
  EXPECT_EQ(corner.y, expected.y);
  // Centred means equal margins, give or take the rounding.
  const RECT owner = Rect(owner_);
  const RECT popup = Rect(popup_);
  EXPECT_NEAR(popup.left - owner.left, owner.right - popup.right, 1);
}

TEST_F(CentreOverTest, HiddenOrMinimisedOwnerGivesWayToTheWorkArea) {
  MoveOwner(area_.left + 10, area_.top + 10);
  for (const int show : {SW_HIDE, SW_SHOWMINNOACTIVE}) {
    SCOPED_TRACE(show);
    ::ShowWindow(owner_, show);
    CentreOver(popup_, nullptr);
    const POINT corner = PopupCorner();
    const POINT expected = Expected(area_);
    EXPECT_EQ(corner.x, expected.x);
    EXPECT_EQ(corner.y, expected.y);
  }
}

TEST_F(CentreOverTest, OwnerPartlyOffTheWorkAreaKeepsTheWindowInside) {
  // Only a corner of the owner is on the work area, at its bottom right.
  MoveOwner(area_.right - 100, area_.bottom - 60);
  ::ShowWindow(owner_, SW_SHOWNOACTIVATE);
  CentreOver(popup_, owner_);
  const RECT popup = Rect(popup_);
  EXPECT_EQ(popup.right, area_.right);
  EXPECT_EQ(popup.bottom, area_.bottom);
}

}  // namespace
}  // namespace varnoket::app
