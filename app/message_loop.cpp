// SPDX-License-Identifier: MIT
#include "app/message_loop.h"

#include <algorithm>

namespace varnoket::app {
namespace {

// The system timer that drives caret blinking; it says nothing about input.
constexpr UINT kSystemTimer = 0x0118;

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void MessageLoop::AddMessageFilter(MessageFilter* filter) { filters_.push_back(filter); }

void MessageLoop::RemoveMessageFilter(MessageFilter* filter) { Remove(filters_, filter); }

void MessageLoop::AddIdleHandler(IdleHandler* handler) { idleHandlers_.push_back(handler); }

void MessageLoop::RemoveIdleHandler(IdleHandler* handler) { Remove(idleHandlers_, handler); }

int MessageLoop::Run() {
  bool idle = true;
  int idleCount = 0;
  for (;;) {
    while (idle && !::PeekMessageW(&message_, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idle = false;
    }
    const BOOL got = ::GetMessageW(&message_, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) return static_cast<int>(message_.wParam);
    if (!PreTranslateMessage(&message_)) {
      ::TranslateMessage(&message_);
      ::DispatchMessageW(&message_);
    }
    if (!IsIdleMessage(message_)) {
      idle = true;
      idleCount = 0;
    }
  }
}

bool MessageLoop::OnIdle(int count) {
  bool more = false;
  // A handler may unregister itself; iterate over a copy.
  const std::vector<IdleHandler*> handlers = idleHandlers_;
  for (IdleHandler* handler : handlers) more = handler->OnIdle(count) || more;
  return more;
}

bool MessageLoop::PreTranslateMessage(MSG* message) {
  const std::vector<MessageFilter*> filters = filters_;
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    if ((*it)->PreTranslateMessage(message)) return true;
  }
  return false;
}

bool MessageLoop::IsIdleMessage(const MSG& message) {
  return message.message == WM_MOUSEMOVE || message.message == WM_NCMOUSEMOVE ||
         message.message == WM_PAINT || message.message == kSystemTimer;
}

}  // namespace varnoket::app
