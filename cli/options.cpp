// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <array>
#include <cstddef>

#include "cli/quote.h"
#include "varnoket/version.h"

namespace varnoket::cli {
namespace {

enum class LongOption {
  Recursive,
  Follow,
  Jobs,
  Quiet,
  DryRun,
  Charset,
  Help,
  Version,
  AllGames,
  Split,
  Archives,
  Recover
};

struct LongOptionName {
  std::string_view name;
  LongOption option;
  bool takesValue;
};

constexpr std::array kLongOptions = {
    LongOptionName{"recursive", LongOption::Recursive, false},
    LongOptionName{"follow", LongOption::Follow, false},
    LongOptionName{"jobs", LongOption::Jobs, true},
    LongOptionName{"quiet", LongOption::Quiet, false},
    LongOptionName{"dry-run", LongOption::DryRun, false},
    LongOptionName{"charset", LongOption::Charset, true},
    LongOptionName{"help", LongOption::Help, false},
    LongOptionName{"version", LongOption::Version, false},
    LongOptionName{"all-games", LongOption::AllGames, false},
    LongOptionName{"split", LongOption::Split, false},
    LongOptionName{"archives", LongOption::Archives, false},
    LongOptionName{"recover", LongOption::Recover, false},
};

CommandLine UsageError(std::string error) {
  CommandLine result;
  result.action = CommandLine::Action::UsageError;
  result.error = std::move(error);
  return result;
}

// Reads a --jobs value: decimal digits only, 0 (the default) up to kMaxJobs.
bool ParseJobs(std::string_view text, unsigned* jobs) {
  if (text.empty() || text.size() > 9) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > kMaxJobs) return false;
  *jobs = value;
  return true;
}

std::string InvalidJobs(std::string_view text) {
  std::string error = "invalid number of jobs: ";
  error += Quote(text);
  error += " (0 to ";
  error += std::to_string(kMaxJobs);
  error += ")";
  return error;
}

// The complaint about an unknown --charset name, with the accepted names one
// charset family a line, wrapped.
std::string UnknownCharset(std::string_view name) {
  std::string error = "unknown charset ";
  error += Quote(name);
  error += "; accepted names (letter case ignored):\n  auto UTF-8";
  std::size_t lineStart = error.size();
  const CharsetName* previous = nullptr;
  for (const CharsetName& known : KnownCharsets()) {
    const bool newFamily = previous == nullptr || previous->grouping != known.grouping;
    if (newFamily || error.size() - lineStart + 1 + known.name.size() > 78) {
      error += "\n ";
      lineStart = error.size() - 1;
    }
    error += ' ';
    error += known.name;
    previous = &known;
  }
  return error;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  std::vector<std::string> operands;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
      operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }

    if (argument.starts_with("--")) {
      const std::size_t equals = argument.find('=');
      const std::string_view name = std::string_view(argument).substr(
          2, equals == std::string::npos ? std::string::npos : equals - 2);
      const LongOptionName* match = nullptr;
      bool ambiguous = false;
      for (const LongOptionName& candidate : kLongOptions) {
        if (candidate.name == name) {
          match = &candidate;
          ambiguous = false;
          break;
        }
        if (candidate.name.starts_with(name)) {
          ambiguous = match != nullptr;
          match = &candidate;
        }
      }
      if (ambiguous) return UsageError("option '" + argument + "' is ambiguous");
      if (match == nullptr) return UsageError("unrecognized option '" + argument + "'");
      std::string fullName = "--";
      fullName += match->name;
      if (!match->takesValue && equals != std::string::npos) {
        return UsageError("option '" + fullName + "' doesn't allow an argument");
      }
      switch (match->option) {
        case LongOption::Recursive:
          result.recursive = true;
          break;
        case LongOption::Follow:
          result.follow = true;
          break;
        case LongOption::Quiet:
          result.quiet = true;
          break;
        case LongOption::DryRun:
          result.dryRun = true;
          break;
        case LongOption::Archives:
          result.archives = true;
          break;
        case LongOption::Recover:
          result.recover = true;
          break;
        case LongOption::AllGames:
        case LongOption::Split: {
          const GameMode games =
              match->option == LongOption::AllGames ? GameMode::AllGames : GameMode::Split;
          if (result.games != GameMode::FirstGame && result.games != games) {
            return UsageError("options '--all-games' and '--split' exclude each other");
          }
          result.games = games;
          break;
        }
        case LongOption::Help:
          result.action = CommandLine::Action::Help;
          return result;
        case LongOption::Version:
          result.action = CommandLine::Action::Version;
          return result;
        case LongOption::Jobs:
        case LongOption::Charset: {
          std::string value;
          if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
          } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
          } else {
            return UsageError("option '" + fullName + "' requires an argument");
          }
          if (match->option == LongOption::Jobs) {
            if (!ParseJobs(value, &result.jobs)) return UsageError(InvalidJobs(value));
          } else {
            result.charset = AssumeCharset(value);
            if (!result.charset) return UsageError(UnknownCharset(value));
          }
          break;
        }
      }
      continue;
    }

    // A cluster of short options; "j" takes the rest of the cluster or the
    // next argument as its value.
    for (std::size_t k = 1; k < argument.size(); ++k) {
      const char letter = argument[k];
      if (letter == 'r') {
        result.recursive = true;
      } else if (letter == 'L') {
        result.follow = true;
      } else if (letter == 'q') {
        result.quiet = true;
      } else if (letter == 'n') {
        result.dryRun = true;
      } else if (letter == 'h') {
        result.action = CommandLine::Action::Help;
        return result;
      } else if (letter == 'j') {
        std::string value;
        if (k + 1 < argument.size()) {
          value = argument.substr(k + 1);
        } else if (i + 1 < arguments.size()) {
          value = arguments[++i];
        } else {
          return UsageError("option requires an argument -- 'j'");
        }
        if (!ParseJobs(value, &result.jobs)) return UsageError(InvalidJobs(value));
        break;
      } else {
        return UsageError(std::string("invalid option -- '") + letter + "'");
      }
    }
  }

  if (operands.empty()) return UsageError("missing operand");
  if (operands.size() == 1) {
    std::string error = "missing destination operand after ";
    error += Quote(operands[0]);
    return UsageError(error);
  }
  if (operands.size() > 2) {
    std::string error = "extra operand ";
    error += Quote(operands[2]);
    return UsageError(error);
  }
  for (const std::string& operand : operands) {
    if (operand.empty()) return UsageError("invalid empty operand ''");
  }
  result.source = operands[0];
  result.destination = operands[1];
  return result;
}

// How a run is stopped, and the statuses that says so, as each system names
// them.
#ifdef _WIN32
constexpr const char* kStopText =
    "Ctrl-C (or Ctrl-Break) stops a run: the files in hand are finished, no\n"
    "other is started, and the summary says the run was interrupted.\n";
constexpr const char* kStopStatusText =
    " 130  interrupted by Ctrl-C or Ctrl-Break\n"
    " 143  stopped because the console was closed or Windows is shutting down\n";
#else
constexpr const char* kStopText =
    "Ctrl-C (or SIGTERM) stops a run: the files in hand are finished, no other\n"
    "is started, and the summary says the run was interrupted.\n";
constexpr const char* kStopStatusText =
    " 130  interrupted by Ctrl-C\n"
    " 143  stopped by SIGTERM\n";
#endif

std::string HelpText() {
  std::string text;
  text += "Usage: ";
  text += kProgramName;
  text += " [OPTION]... SOURCE DEST\n";
  text +=
      "Clean SGF game records: keep the game information, the handicap stones and\n"
      "the main line of moves; drop comments, variations, markup and the rest.\n"
      "\n"
      "If SOURCE is a folder, clean each of its *.sgf files (letter case ignored)\n"
      "into the folder DEST under the same name; DEST is created if missing.\n"
      "If SOURCE is a file, clean it into DEST: a file, or a folder to put it in.\n"
      "If SOURCE is an archive (.zip, .tar.*, .7z, or one compressed file such as\n"
      "all.sgf.xz, recognised by its content), clean its *.sgf entries as a\n"
      "folder's. If DEST ends in .zip, .tar, .tar.gz, .tgz, .tar.bz2, .tar.xz or\n"
      ".tar.zst, write the cleaned files into a new archive of that kind.\n"
      "SOURCE '-' reads one record from standard input; DEST '-' writes to standard\n"
      "output. With the same folder as SOURCE and DEST, files are cleaned in place.\n"
      "A file that cannot be read or holds no game is reported and never written,\n"
      "and a failed write leaves any existing file untouched.\n"
      "\n"
      "  -r, --recursive   also clean every subfolder, mirroring it under DEST\n"
      "  -L, --follow      with -r, also enter folders that links in SOURCE lead to\n"
      "                    (each folder once); without it they are passed over\n"
      "  -j, --jobs=N      clean N files (or the games of one file) at once; 0,\n"
      "                    the default, means one per hardware thread\n"
      "  -q, --quiet       print only errors, no progress or summary\n"
      "  -n, --dry-run     read and clean every file in memory and write nothing;\n"
      "                    report what a real run would, failures included\n"
      "      --charset=NAME\n"
      "                    read each file that names no charset (no CA) and is\n"
      "                    not UTF-8 as NAME, and give its cleaned file CA[NAME];\n"
      "                    NAME is Shift_JIS, GBK, Big5, EUC-KR, EUC-JP,\n"
      "                    ISO-2022-JP, a single-byte charset such as windows-1251,\n"
      "                    UTF-8 (for damaged UTF-8), or another name of these\n"
      "                    (letter case ignored). NAME 'auto' recognises the\n"
      "                    charset of each such file, and of one that claims\n"
      "                    CA[UTF-8] but is not UTF-8, from its own bytes, and\n"
      "                    leaves it unlabelled when unsure; the summary counts\n"
      "                    the decisions, and -n lists them on standard output\n"
      "      --all-games   clean every game of a file that holds several into one\n"
      "                    cleaned collection (by default only the first is kept)\n"
      "      --split       clean every game of such a file into a file of its own,\n"
      "                    NAME-0001.sgf, NAME-0002.sgf, ... in the order of the file\n"
      "      --archives    also clean the archives found in SOURCE, each into the\n"
      "                    folder DEST/NAME of its name (into NAME/ in an archive)\n"
      "      --recover     mend damaged and old records: read lower-case letters in\n"
      "                    property names (AddBlack) as absent, skip stray bytes\n"
      "                    between nodes, give a '(' without ';' its node, keep\n"
      "                    the moves of a record cut short, and read UTF-16\n"
      "                    without a byte-order mark; each file mended is named\n"
      "                    in a note, and the summary counts them\n"
      "  -h, --help        display this help and exit\n"
      "      --version     output version information and exit\n"
      "\n"
      "A progress bar is shown on standard error when it is a terminal. At the end\n"
      "a summary and every file that could not be cleaned, with the reason, are\n"
      "printed on standard error; with '-' as SOURCE or DEST they are printed only\n"
      "when something failed.\n";
  text += kStopText;
  text +=
      "\n"
      "Exit status:\n"
      " 0  every file was cleaned\n"
      " 1  some files could not be cleaned\n"
      " 2  usage error, or SOURCE does not exist\n";
  text += kStopStatusText;
  return text;
}

std::string VersionText() { return varnoket::VersionText(kProgramName); }

}  // namespace varnoket::cli
