// SPDX-License-Identifier: MIT
#include "app/module_state.h"

namespace varnoket::app {
namespace {

// Built during static initialisation, before the catalogue of SGF properties
// (which is built on first use), and so destroyed after it.
ModuleState moduleState;

}  // namespace

void ModuleState::Init(HINSTANCE instance) { instance_ = instance; }

void ModuleState::Term() { instance_ = nullptr; }

void ModuleState::AddMessageLoop(DWORD threadId, MessageLoop* loop) {
  const std::lock_guard<std::mutex> guard(lock_);
  loops_[threadId] = loop;
}

void ModuleState::RemoveMessageLoop(DWORD threadId) {
  const std::lock_guard<std::mutex> guard(lock_);
  loops_.erase(threadId);
}

MessageLoop* ModuleState::FindMessageLoop(DWORD threadId) const {
  const std::lock_guard<std::mutex> guard(lock_);
  const auto found = loops_.find(threadId);
  return found == loops_.end() ? nullptr : found->second;
}

ModuleState& Module() { return moduleState; }

MessageLoop* CurrentMessageLoop() { return Module().FindMessageLoop(::GetCurrentThreadId()); }

}  // namespace varnoket::app
