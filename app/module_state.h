// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_MODULE_STATE_H_
#define VARNOKET_APP_MODULE_STATE_H_

#include <windows.h>

#include <map>
#include <mutex>

namespace varnoket::app {

class MessageLoop;

// The program's process-wide state: its instance handle and the table that
// maps a thread to that thread's message loop. It is a static object, built
// before the entry point runs and destroyed after everything that uses it.
class ModuleState {
 public:
  ModuleState() = default;
  ModuleState(const ModuleState&) = delete;
  ModuleState& operator=(const ModuleState&) = delete;

  // Remembers the module whose resources the program loads. Init must run
  // before any dialog is created; Term forgets the instance.
  void Init(HINSTANCE instance);
  void Term();
  HINSTANCE instance() const { return instance_; }

  // Enters "loop" as the loop of thread "threadId", replacing any earlier one.
  // "*loop" must stay live until RemoveMessageLoop.
  void AddMessageLoop(DWORD threadId, MessageLoop* loop);
  void RemoveMessageLoop(DWORD threadId);
  // The loop of "threadId", or null when that thread has none.
  MessageLoop* FindMessageLoop(DWORD threadId) const;

 private:
  HINSTANCE instance_ = nullptr;
  // Guards loops_, and is held only while the table is read or changed.
  mutable std::mutex lock_;
  std::map<DWORD, MessageLoop*> loops_;
};

// The one instance of the process.
ModuleState& Module();

// The message loop of the calling thread, or null.
MessageLoop* CurrentMessageLoop();

}  // namespace varnoket::app

#endif  // VARNOKET_APP_MODULE_STATE_H_
