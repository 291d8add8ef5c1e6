// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_OPTIONS_H_
#define VARNOKET_CLI_OPTIONS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "sgf/charset.h"

namespace varnoket::cli {

inline constexpr std::string_view kProgramName = "varnoket-cli";

// What the command line asks for, after GNU-style parsing.
struct CommandLine {
  enum class Action { Clean, Help, Version, UsageError };

  Action action = Action::Clean;
  // For UsageError: the complaint, without the program name or the hint line
  // (for example "missing destination operand after 'games'").
  std::string error;

  // The operands as given; "-" names a standard stream.
  std::string source;
  std::string destination;
  bool recursive = false;
  // -L, --follow: under -r, also enter folders that links in SOURCE lead to.
  bool follow = false;
  bool quiet = false;
  // Read and clean everything, write nothing.
  bool dryRun = false;
  // Files cleaned at once; 0 means one per hardware thread.
  unsigned jobs = 0;
  // --charset: the charset of files that name none and are not UTF-8.
  std::optional<AssumedCharset> charset;
  // --all-games or --split: which games of a collection are cleaned.
  GameMode games = GameMode::FirstGame;
  // --archives: archives in the source folder are opened and cleaned.
  bool archives = false;
  // --recover: damaged records are mended.
  bool recover = false;
};

// The largest --jobs value accepted.
inline constexpr unsigned kMaxJobs = 1024;

// Parses the arguments that follow the program name. Accepts short options
// alone or clustered ("-rq", "-j4", "-j 4"), long options and any unambiguous
// prefix of one ("--jobs=4", "--jobs 4", "--rec"), operands mixed with options,
// "--" ending the options, and "-" as an operand. --help and --version win over
// everything after them; the first error found is reported.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help and --version, each ending in a newline.
std::string HelpText();
std::string VersionText();

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_OPTIONS_H_
