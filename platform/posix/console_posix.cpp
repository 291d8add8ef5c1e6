// SPDX-License-Identifier: MIT
// POSIX side of the console: argv as it is, isatty(3), the TIOCGWINSZ size
// refreshed on SIGWINCH, and SIGINT/SIGTERM turned into a flag.
#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace varnoket::platform {
namespace {

std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};

std::atomic<bool> resized{true};  // true until the size is first read
std::atomic<int> columns{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handlers below may only touch lock-free atomics");

void OnInterrupt(int signal) {
  int none = 0;
  interruptSignal.compare_exchange_strong(none, signal);
  interruptRequested.store(true);
}

void OnResize(int) { resized.store(true); }

void Catch(int signal, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Reads and writes in progress carry on; only the flag records the signal.
  action.sa_flags = SA_RESTART | flags;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  if (argc <= 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
  if (!IsTerminal(stream)) return 0;
  static std::atomic<bool> watching{false};
  if (!watching.exchange(true)) Catch(SIGWINCH, OnResize, 0);
  if (resized.exchange(false)) {
    struct winsize size {};
    const bool known = ::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    columns.store(known ? size.ws_col : 80);
  }
  return columns.load();
}

bool WriteText(std::FILE* stream, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
         std::fflush(stream) == 0;
}

void CatchInterrupts() {
  // The second request of a kind finds the default action back in place.
  Catch(SIGINT, OnInterrupt, static_cast<int>(SA_RESETHAND));
  Catch(SIGTERM, OnInterrupt, static_cast<int>(SA_RESETHAND));
}

const std::atomic<bool>& InterruptRequested() { return interruptRequested; }

int InterruptExitStatus() {
  const int signal = interruptSignal.load();
  return signal == 0 ? 0 : 128 + signal;
}

}  // namespace varnoket::platform
