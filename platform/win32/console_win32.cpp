// SPDX-License-Identifier: MIT
// Windows side of the console: the UTF-16 command line, WriteConsoleW to a
// console and UTF-8 elsewhere, the console window's width, and the console's
// control events turned into a flag.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include "platform/console.h"

#include <io.h>

#include <algorithm>
#include <cwchar>

#include "sgf/utf8.h"

namespace varnoket::platform {
namespace {

std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptStatus{0};

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnControlEvent(DWORD event) {
  const bool closing =
      event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  if (!closing && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  int none = 0;
  const bool first = interruptStatus.compare_exchange_strong(none, closing ? 143 : 130);
  if (!first && !closing) return FALSE;  // a second Ctrl-C ends the process
  interruptRequested.store(true);
  // The process ends as soon as this returns after a closing event (or a few
  // seconds later in any case): give the files in hand that time.
  if (closing) ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const std::size_t length = std::wcslen(wide[i]);
    std::string argument;
    AppendUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide[i]), length), &argument);
    arguments.push_back(std::move(argument));
  }
  ::LocalFree(wide);
  return arguments;
}

bool IsTerminal(std::FILE* stream) { return IsConsole(HandleOf(stream)); }

int TerminalColumns(std::FILE* stream) {
  // Cheap enough to ask each time: a console sends no resize signal.
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(HandleOf(stream), &info)) return IsTerminal(stream) ? 80 : 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool WriteText(std::FILE* stream, std::string_view text) {
  if (std::fflush(stream) != 0) return false;
  const HANDLE handle = HandleOf(stream);
  if (IsConsole(handle)) {
    std::u16string wide;
    DecodeUtf8(text, &wide);
    std::size_t done = 0;
    while (done < wide.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
      DWORD written = 0;
      if (!::WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0) {
        return false;
      }
      done += written;
    }
    return true;
  }
  // Straight to the handle, past the C runtime's text mode: "\n" stays "\n".
  std::size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 20));
    DWORD written = 0;
    if (!::WriteFile(handle, text.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

void CatchInterrupts() { ::SetConsoleCtrlHandler(OnControlEvent, TRUE); }

const std::atomic<bool>& InterruptRequested() { return interruptRequested; }

int InterruptExitStatus() { return interruptStatus.load(); }

}  // namespace varnoket::platform
