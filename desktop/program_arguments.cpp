// SPDX-License-Identifier: MIT
#include "desktop/program_arguments.h"

namespace varnoket::desktop {

ProgramAction ChooseProgramAction(std::span<const std::string_view> arguments) {
  for (std::string_view argument : arguments) {
    if (argument == "-h" || argument == "--help") return ProgramAction::PrintHelp;
    if (argument == "--version") return ProgramAction::PrintVersion;
  }
  return ProgramAction::OpenWindow;
}

std::string WindowProgramHelp(std::string_view programName) {
  std::string text = "Usage: ";
  text += programName;
  text += " [OPTION]\n";
  text +=
      "Open the Varnoket window: name a source folder and a destination folder,\n"
      "and Clean writes, for every *.sgf file of the source, a cleaned record under\n"
      "the same name that keeps only the game (the game information, the handicap\n"
      "stones and the main line of moves).\n"
      "\n"
      "The window reads no other argument. To clean from a terminal or a script,\n"
      "with subfolders, files and pipes, use varnoket-cli.\n"
      "\n"
      "  -h, --help     display this help and exit\n"
      "      --version  output version information and exit\n"
      "\n"
      "Exit status:\n"
      " 0  the help or the version was printed, or the window could not open\n"
      " 2  the window was closed\n";
  return text;
}

}  // namespace varnoket::desktop
