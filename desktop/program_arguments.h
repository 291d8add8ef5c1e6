// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_PROGRAM_ARGUMENTS_H_
#define VARNOKET_DESKTOP_PROGRAM_ARGUMENTS_H_

#include <span>
#include <string>
#include <string_view>

namespace varnoket::desktop {

// What a window program does with its command line.
enum class ProgramAction {
  OpenWindow,    // no argument it answers: the window opens, as always
  PrintHelp,     // -h or --help: print WindowProgramHelp and exit 0
  PrintVersion,  // --version: print VersionText (varnoket/version.h) and exit 0
};

// The action for the arguments after the program's name. The first of -h,
// --help and --version decides; every other argument is ignored, as the
// window reads none.
ProgramAction ChooseProgramAction(std::span<const std::string_view> arguments);

// The text printed for PrintHelp, for the program named "programName"
// ("varnoket", "Varnoket.exe"), ending in a line break.
std::string WindowProgramHelp(std::string_view programName);

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_PROGRAM_ARGUMENTS_H_
