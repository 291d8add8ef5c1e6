// SPDX-License-Identifier: MIT
// varnoket-cli: cleans SGF game records from the command line.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "cli/command.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  try {
    const auto arguments = varnoket::platform::CommandLineArguments(argc, argv);
    varnoket::cli::Console console;
    console.progressBar = varnoket::platform::IsTerminal(stderr);
    return varnoket::cli::Main(arguments, console);
  } catch (const std::bad_alloc&) {
    std::fputs("varnoket-cli: not enough memory\n", stderr);
    return 1;
  } catch (const std::exception& error) {
    varnoket::platform::WriteText(stderr, std::string("varnoket-cli: ") + error.what() + "\n");
    return 1;
  }
}
