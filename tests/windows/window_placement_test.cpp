// SPDX-License-Identifier: MIT
// Where CentreOver puts a window: centred on its reference or the work area,
// and pushed back inside the work area.
#include "app/window_placement.h"

#include <gtest/gtest.h>

#include "tests/windows/dialog_test_support.h"

namespace varnoket::app {
namespace {

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
    return test::Centred(target, area_, popup.right - popup.left, popup.bottom - popup.top);
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
