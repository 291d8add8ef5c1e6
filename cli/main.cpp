// varnoket-cli: cleans SGF game records from the command line.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    varnoket::cli::Console console;
    console.progressBar = ::isatty(::fileno(stderr)) == 1;
    return varnoket::cli::Main(arguments, console);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "varnoket-cli: %s\n", error.what());
    return 1;
  }
}
