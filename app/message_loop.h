// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_MESSAGE_LOOP_H_
#define VARNOKET_APP_MESSAGE_LOOP_H_

#include <windows.h>

#include <vector>

namespace varnoket::app {

// Something that may claim a message before it is translated and dispatched,
// such as a modeless dialog's keyboard handling.
class MessageFilter {
 public:
  virtual ~MessageFilter() = default;
  // True when the message was handled and must not be dispatched.
  virtual bool PreTranslateMessage(MSG* message) = 0;
};

// Something that runs while the thread's queue is empty.
class IdleHandler {
 public:
  virtual ~IdleHandler() = default;
  // "count" is the number of idle calls since the last input. True asks for
  // more idle calls before the next message.
  virtual bool OnIdle(int count) = 0;
};

// The message loop of one UI thread. Filters and idle handlers are not owned:
// each must stay live while it is registered.
class MessageLoop {
 public:
  MessageLoop() = default;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

  void AddMessageFilter(MessageFilter* filter);
  void RemoveMessageFilter(MessageFilter* filter);
  void AddIdleHandler(IdleHandler* handler);
  void RemoveIdleHandler(IdleHandler* handler);

  // Retrieves and dispatches messages until WM_QUIT arrives, and returns its
  // exit code. Filters see each message first, the last registered first.
  int Run();

 private:
  // Calls every idle handler in order of registration; true when one asks
  // for more.
  bool OnIdle(int count);
  bool PreTranslateMessage(MSG* message);
  static bool IsIdleMessage(const MSG& message);

  MSG message_{};
  std::vector<MessageFilter*> filters_;
  std::vector<IdleHandler*> idleHandlers_;
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_MESSAGE_LOOP_H_
