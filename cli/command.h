// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_COMMAND_H_
#define VARNOKET_CLI_COMMAND_H_

#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "platform/streams.h"

namespace varnoket::cli {

// The streams and terminal facts a run works with.
struct Console {
  // Standard input (read for SOURCE "-"), standard output (written for DEST
  // "-", --help and --version), and pipes or devices named as SOURCE or DEST;
  // null means the process's own. "*streams" must outlive the run.
  platform::Streams* streams = nullptr;
  std::FILE* err = stderr;  // progress, failures and the summary
  // Draw the progress bar on "err" (it is a terminal and --quiet is off).
  bool progressBar = false;
};

// Performs the cleaning "commandLine" asks for (its action must be Clean) and
// returns the exit status: 0 when every file was cleaned (or none was found),
// 1 when some file could not be cleaned, 2 when SOURCE does not exist or the
// operands do not fit together, 130 or 143 when a folder run was stopped by
// Ctrl-C or SIGTERM (which it catches from then on).
int RunCommandLine(const CommandLine& commandLine, const Console& console);

// The whole program: parses "arguments" (those after the program name), prints
// help, version or usage errors, runs, and returns the exit status.
int Main(const std::vector<std::string>& arguments, const Console& console);

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_COMMAND_H_
