// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_CONSOLE_H_
#define VARNOKET_PLATFORM_CONSOLE_H_

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace varnoket::platform {

// The process's arguments after the program name, in UTF-8. On Windows they
// come from the UTF-16 command line, so that every name survives whatever the
// ANSI code page; elsewhere they are argv's bytes as they are.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// True when "stream" is a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// The width in columns of the terminal "stream" writes to, or 0 when it is
// not a terminal. Read when first asked and again after the terminal says it
// was resized (SIGWINCH), so asking often costs nothing.
int TerminalColumns(std::FILE* stream);

// Writes the UTF-8 "text" to "stream" and flushes it. A Windows console gets
// it as UTF-16 through WriteConsoleW, so that every script shows whatever the
// console's code page; anything else (a file, a pipe, a terminal outside
// Windows) gets the bytes unchanged. False when the write fails.
bool WriteText(std::FILE* stream, std::string_view text);

// From now on, the user's first request to stop (Ctrl-C or SIGTERM; on
// Windows Ctrl-C, Ctrl-Break or closing the console) no longer ends the
// process but sets InterruptRequested(), so that work in hand can finish.
// A second request of the same kind ends the process as usual, unless it
// comes within a tenth of a second of the first, as when the signal was sent
// to the program and to its process group at once.
void CatchInterrupts();
const std::atomic<bool>& InterruptRequested();

// The exit status that reports the caught request: 130 for Ctrl-C (SIGINT),
// 143 for SIGTERM or a closing console; 0 while none was caught.
int InterruptExitStatus();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_CONSOLE_H_
