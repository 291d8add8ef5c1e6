// SPDX-License-Identifier: MIT
// POSIX side of the console: argv as it is, isatty(3), the TIOCGWINSZ size
// refreshed on SIGWINCH, and SIGINT/SIGTERM turned into a flag.
#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace varnoket::platform {
namespace {

std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};
// When the first request of each kind came (MonotonicMilliseconds), 0 before.
std::atomic<long> firstInterrupt{0};
std::atomic<long> firstTermination{0};

std::atomic<bool> resized{true};  // true until the size is first read
std::atomic<int> columns{0};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<long>::is_always_lock_free,
              "the signal handlers below may only touch lock-free atomics");

// A request that comes this soon after the first is the same one sent twice
// (timeout(1) signals the program and then its whole process group).
constexpr unsigned long kSameRequestMilliseconds = 100;

// Never 0.
long MonotonicMilliseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec * 1000 + now.tv_nsec / 1000000) | 1;
}

void OnInterrupt(int signal) {
  const int savedErrno = errno;
  const long now = MonotonicMilliseconds();
  std::atomic<long>& first = signal == SIGINT ? firstInterrupt : firstTermination;
  long before = 0;
  if (first.compare_exchange_strong(before, now)) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signal);
    interruptRequested.store(true);
    errno = savedErrno;
    return;
  }
  if (static_cast<unsigned long>(now) - static_cast<unsigned long>(before) <
      kSameRequestMilliseconds) {
    errno = savedErrno;
    return;
  }
  // A second request of the same kind ends the process as that signal does.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  ::raise(signal);
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
  Catch(SIGINT, OnInterrupt, 0);
  Catch(SIGTERM, OnInterrupt, 0);
}

const std::atomic<bool>& InterruptRequested() { return interruptRequested; }

int InterruptExitStatus() {
  const int signal = interruptSignal.load();
  return signal == 0 ? 0 : 128 + signal;
}

}  // namespace varnoket::platform
