// SPDX-License-Identifier: MIT
#include "app/window_icon.h"

#include "res/resource_ids.h"

namespace varnoket::app {
namespace {

// The instance whose hook runs on this thread.
thread_local const WindowIcon* threadIcon = nullptr;

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARNOKET), IMAGE_ICON,
                                         ::GetSystemMetrics(widthMetric),
                                         ::GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

}  // namespace

WindowIcon::WindowIcon(HINSTANCE instance)
    : big_(LoadProgramIcon(instance, SM_CXICON, SM_CYICON)),
      small_(LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON)) {
  threadIcon = this;
  hook_ = ::SetWindowsHookExW(WH_CBT, &OnWindowEvent, nullptr, ::GetCurrentThreadId());
}

WindowIcon::~WindowIcon() {
  if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
  if (threadIcon == this) threadIcon = nullptr;
  if (big_ != nullptr) ::DestroyIcon(big_);
  if (small_ != nullptr) ::DestroyIcon(small_);
}

void WindowIcon::SetOn(HWND window) const {
  if (big_ != nullptr) ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_));
  if (small_ != nullptr) {
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_));
  }
}

LRESULT CALLBACK WindowIcon::OnWindowEvent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && threadIcon != nullptr) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    if (::SendMessageW(window, WM_GETICON, ICON_SMALL, 0) == 0) threadIcon->SetOn(window);
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace varnoket::app
