// SPDX-License-Identifier: MIT
#include "cli/command.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/batch_run.h"
#include "batch/single_run.h"
#include "cli/progress.h"
#include "cli/quote.h"
#include "cli/reason_text.h"
#include "platform/archive.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/path_text.h"

namespace varnoket::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Seconds a single record is read before its progress shows.
constexpr double kSingleProgressDelay = 0.5;
// Columns the progress line leaves free at the right of the terminal.
constexpr std::size_t kSpareColumns = 3;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The pieces one after the other. (Built by appending, which GCC 12 does not
// misreport as an overlapping copy, as it does "text" + std::string(...).)
template <typename... Pieces>
std::string Joined(const Pieces&... pieces) {
  std::string text;
  (text.append(pieces), ...);
  return text;
}

void PrintError(std::FILE* err, const std::string& message) {
  platform::WriteText(err, Joined(kProgramName, ": ", message, "\n"));
}

void PrintUsageError(std::FILE* err, const std::string& message) {
  PrintError(err, message);
  platform::WriteText(err, Joined("Try '", kProgramName, " --help' for more information.\n"));
}

// A failure as the command line prints it: "<name>: <reason>[: <system text>]",
// where "shownName" is already quoted as needed.
std::string DescribeFailure(const std::string& shownName, FailureReason reason,
                            const std::string& systemMessage) {
  std::string text = shownName + ": " + std::string(ReasonText(reason));
  if (!systemMessage.empty()) text += ": " + systemMessage;
  return text;
}

// What one command did, for the closing summary.
struct Totals {
  std::size_t cleaned = 0;
  std::size_t recovered = 0;  // of those cleaned
  std::size_t failed = 0;
  std::size_t notStarted = 0;
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesWritten = 0;
  bool dryRun = false;
  bool interrupted = false;
};

// "12 files cleaned, 1 failed, 1.2 MiB read, 0.8 MiB written in 0.42 s", led
// by "dry run: " or "interrupted: " (with the files never started) when so.
void PrintSummary(std::FILE* err, const Totals& totals, double seconds) {
  std::string line;
  if (totals.dryRun) line += totals.interrupted ? "dry run, interrupted: " : "dry run: ";
  if (!totals.dryRun && totals.interrupted) line += "interrupted: ";
  line += std::to_string(totals.cleaned) + (totals.cleaned == 1 ? " file" : " files");
  line += " cleaned, ";
  if (totals.recovered != 0) line += std::to_string(totals.recovered) + " recovered, ";
  line += std::to_string(totals.failed) + " failed, ";
  if (totals.interrupted) line += std::to_string(totals.notStarted) + " not started, ";
  line += FormatBytes(totals.bytesRead) + " read, " + FormatBytes(totals.bytesWritten);
  line += totals.dryRun ? " would be written" : " written";
  line += " in " + FormatDuration(seconds) + "\n";
  platform::WriteText(err, line);
}

// "detected: GBK 898, Shift_JIS 33, UTF-8 1821, undecided 12": the files
// charset detection was tried on, by charset, the most frequent first, those
// it left unlabelled last.
void PrintDetected(std::FILE* err, const std::vector<FileCharset>& detected) {
  std::map<std::string, std::size_t> counts;
  std::size_t undecided = 0;
  for (const FileCharset& file : detected) {
    if (file.charset.empty()) {
      ++undecided;
    } else {
      ++counts[file.charset];
    }
  }
  std::vector<std::pair<std::string, std::size_t>> ranked(counts.begin(), counts.end());
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  std::string line = "detected:";
  for (const auto& [charset, count] : ranked) {
    line += Joined(" ", charset, " ", std::to_string(count), ",");
  }
  if (undecided != 0 || ranked.empty()) line += Joined(" undecided ", std::to_string(undecided));
  if (line.ends_with(",")) line.pop_back();
  platform::WriteText(err, line + "\n");
}

// A dry run's list of what charset detection decided, one file a line on
// standard output: "<name>: GBK", "<name>: undecided".
void ListDetected(platform::Streams& streams, const std::filesystem::path& folder,
                  const std::vector<FileCharset>& detected) {
  std::string text;
  for (const FileCharset& file : detected) {
    const std::string shown = QuoteIfNeeded(platform::PathToUtf8(folder / file.name));
    text += Joined(shown, ": ", file.charset.empty() ? "undecided" : file.charset, "\n");
  }
  if (!text.empty()) streams.WriteStandardOutput(text);
}

bool DetectsCharsets(const CommandLine& commandLine) {
  return commandLine.charset && commandLine.charset->detect;
}

platform::Streams& StreamsOf(const Console& console) {
  return console.streams != nullptr ? *console.streams : platform::DefaultStreams();
}

// The progress bar on a terminal, redrawn at most every kRedrawInterval and
// always cut to the terminal's current width.
class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, Clock::time_point start) : stream_(stream), start_(start) {}

  // While large entries (collections) are read, their bytes and the games
  // found, after the files done when there is room; else the files.
  void Update(const BatchProgress& progress) {
    if (progress.largeSize == 0) {
      largeSince_.reset();
      Draw(progress.done == progress.total, [&](std::size_t width) {
        return FormatProgress(progress.done, progress.total, SecondsSince(start_), width);
      });
      return;
    }
    if (!largeSince_) largeSince_ = Clock::now();
    Draw(false, [&](std::size_t width) {
      const std::string files =
          std::to_string(progress.done) + "/" + std::to_string(progress.total) + " files  ";
      const bool room = width >= files.size() + kMinLargeWidth;
      return (room ? files : std::string()) +
             FormatByteProgress(progress.largeRead, progress.largeSize, progress.games,
                                SecondsSince(*largeSince_), room ? width - files.size() : width);
    });
  }

  // One large record: bytes and games.
  void Update(const CollectionProgress& progress, std::uint64_t total) {
    Draw(false, [&](std::size_t width) {
      return FormatByteProgress(progress.bytesRead, total, progress.games, SecondsSince(start_),
                                width);
    });
  }

  // Leaves the cursor at the start of an empty line.
  void Erase() {
    if (!shown_) return;
    const std::size_t echoed = kSpareColumns - 1;
    std::string blank(drawnWidth_ + echoed + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    platform::WriteText(stream_, blank);
    shown_ = false;
  }

 private:
  // Draws the line "format" makes for the width there is, unless the last
  // one was drawn too recently.
  template <typename Format>
  void Draw(bool last, Format format) {
    const Clock::time_point now = Clock::now();
    if (shown_ && !last && now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    shown_ = true;
    // The last column stays free, as writing there makes some terminals wrap,
    // and so do two more for the "^C" a terminal echoes at the cursor.
    const auto columns = static_cast<std::size_t>(std::max(platform::TerminalColumns(stream_), 0));
    const std::size_t width = columns > kSpareColumns ? columns - kSpareColumns : 0;
    std::string line = format(width);
    const std::size_t drawn = line.size();
    // Spaces, not an escape sequence, clear what the last line left over,
    // within the width, which may have shrunk since.
    const std::size_t cleared = std::min(drawnWidth_, width);
    if (drawn < cleared) line.append(cleared - drawn, ' ');
    line.insert(line.begin(), '\r');
    platform::WriteText(stream_, line);
    drawnWidth_ = drawn;
  }

  // The narrowest byte progress that the files done are put before.
  static constexpr std::size_t kMinLargeWidth = 50;

  std::FILE* stream_;
  Clock::time_point start_;
  std::optional<Clock::time_point> largeSince_;  // since large entries are read
  Clock::time_point lastDrawn_;
  bool shown_ = false;
  std::size_t drawnWidth_ = 0;
};

// A game of a collection as the failure lines name it: "game 3 at byte 1234";
// empty for a whole file.
std::string GamePlace(const FileFailure& failure) {
  if (failure.game == 0) return {};
  return Joined("game ", std::to_string(failure.game), " at byte ", std::to_string(failure.offset));
}

// A failure line's text: "<name>[: game N at byte M]: <reason>[: <system text>]".
std::string DescribeFailure(const std::string& shownName, const FileFailure& failure) {
  const std::string place = GamePlace(failure);
  return DescribeFailure(place.empty() ? shownName : Joined(shownName, ": ", place), failure.reason,
                         failure.systemMessage);
}

// SOURCE is one record (a file, another readable thing, or standard input):
// cleans it into DEST (a file, a folder to put it in, or standard output).
int CleanOne(const CommandLine& commandLine, const Console& console, Clock::time_point start) {
  SingleOptions options;
  options.fromStandardInput = commandLine.source == "-";
  options.toStandardOutput = commandLine.destination == "-";
  if (!options.fromStandardInput) options.source = platform::PathFromUtf8(commandLine.source);
  if (!options.toStandardOutput) {
    options.destination = platform::PathFromUtf8(commandLine.destination);
  }
  options.dryRun = commandLine.dryRun;
  options.assumedCharset = commandLine.charset;
  options.games = commandLine.games;
  options.recover = commandLine.recover;
  options.jobs = commandLine.jobs;
  options.streams = &StreamsOf(console);
  // Ctrl-C and SIGTERM stop reading, finish the games in hand and keep the
  // report.
  platform::CatchInterrupts();
  options.stop = &platform::InterruptRequested();
  ProgressLine progressLine(console.err, start);
  if (console.progressBar && !commandLine.quiet) {
    // Only a record that takes a while to read shows its progress.
    options.onProgress = [&](const CollectionProgress& progress, std::uint64_t total) {
      if (SecondsSince(start) >= kSingleProgressDelay) progressLine.Update(progress, total);
    };
  }
  const SingleReport report = RunSingle(options);
  progressLine.Erase();

  const std::string shownSource =
      options.fromStandardInput ? "standard input" : QuoteIfNeeded(commandLine.source);
  for (const SingleFailure& failure : report.failures) {
    const std::string shown = failure.side == SingleFailure::Side::Source ? shownSource
                              : options.toStandardOutput
                                  ? "standard output"
                                  : QuoteIfNeeded(platform::PathToUtf8(failure.failure.name));
    PrintError(console.err, DescribeFailure(shown, failure.failure));
  }
  // Where standard output carries the data, a run that went well stays quiet.
  const bool streaming = options.fromStandardInput || options.toStandardOutput;
  if (!commandLine.quiet && report.notKept != 0) {
    platform::WriteText(console.err, Joined(shownSource, ": ", NotKeptText(report.notKept), "\n"));
  }
  if (!commandLine.quiet && report.repairs.any()) {
    PrintError(console.err, Joined(shownSource, ": note: ", RecoveredNote(report.repairs)));
  }
  if (!commandLine.quiet && (!report.failures.empty() || !streaming || report.interrupted)) {
    Totals totals;
    totals.dryRun = commandLine.dryRun;
    totals.interrupted = report.interrupted;
    totals.notStarted = report.notStarted;
    totals.cleaned = report.cleaned;
    totals.recovered = report.repairs.any() ? 1 : 0;
    totals.failed = report.failures.size();
    totals.bytesRead = report.bytesRead;
    totals.bytesWritten = report.bytesWritten;
    if (commandLine.dryRun && !options.toStandardOutput) {
      ListDetected(StreamsOf(console), {}, report.detected);
    }
    PrintSummary(console.err, totals, SecondsSince(start));
    if (DetectsCharsets(commandLine)) PrintDetected(console.err, report.detected);
  }
  if (report.interrupted) return platform::InterruptExitStatus();
  return report.failures.empty() ? 0 : 1;
}

// How many folders "folder" holds (links to folders included); 0 when it cannot
// be listed.
std::size_t CountSubfolders(const std::filesystem::path& folder) {
  std::size_t count = 0;
  const platform::IoStatus listed = platform::DefaultFolderLister().ListFolder(
      folder, "*", [&](const platform::FolderEntry& entry) { count += entry.isFolder ? 1 : 0; });
  return listed.ok() ? count : 0;
}

// Says that no file was found, and where the files may be instead: in
// subfolders, or in an archive's folders ("inFolders" entries).
std::string NothingFoundText(const CommandLine& commandLine, const std::filesystem::path& source,
                             std::size_t inFolders) {
  std::string text = Joined("no *.sgf files found in ", Quote(commandLine.source));
  if (inFolders > 0) {
    return text + Joined(" (", std::to_string(inFolders),
                         inFolders == 1 ? " is in a folder" : " are in folders",
                         " of the archive; -r cleans them too)\n");
  }
  const std::size_t subfolders = commandLine.recursive ? 0 : CountSubfolders(source);
  if (subfolders > 0) {
    text += Joined(" (it has ", std::to_string(subfolders),
                   subfolders == 1 ? " subfolder" : " subfolders", "; -r cleans them too)");
  }
  return text + "\n";
}

// SOURCE is a folder: the batch run into the folder DEST.
int RunFolderSource(const CommandLine& commandLine, const Console& console,
                    Clock::time_point start) {
  BatchOptions options;
  options.source = platform::PathFromUtf8(commandLine.source);
  options.destination = platform::PathFromUtf8(commandLine.destination);
  options.recursive = commandLine.recursive;
  options.followLinks = commandLine.follow;
  options.createDestination = true;
  options.jobs = commandLine.jobs;
  options.dryRun = commandLine.dryRun;
  options.assumedCharset = commandLine.charset;
  options.games = commandLine.games;
  // Zip names in a code page are read in the one given; detection has
  // nothing to go on in a name, which keeps the default.
  if (commandLine.charset && !commandLine.charset->detect) {
    options.archiveNameCharset = commandLine.charset->name;
  }
  options.openArchives = commandLine.archives;
  options.recover = commandLine.recover;
  // Ctrl-C and SIGTERM finish the files in hand and keep the report.
  platform::CatchInterrupts();
  options.stop = &platform::InterruptRequested();

  ProgressLine progressLine(console.err, start);
  if (console.progressBar && !commandLine.quiet) {
    options.onProgress = [&](const BatchProgress& progress) { progressLine.Update(progress); };
  }
  const BatchReport report = RunBatch(options);
  progressLine.Erase();

  switch (report.outcome) {
    case RunOutcome::Completed:
      break;
    case RunOutcome::CannotCreateDestination:
      PrintError(console.err, Joined("cannot create folder ", Quote(commandLine.destination), ": ",
                                     report.systemMessage));
      return 1;
    case RunOutcome::SourceNotFound:
      PrintError(console.err,
                 Joined("cannot access ", Quote(commandLine.source), ": not a folder"));
      return 2;
    case RunOutcome::NotAnArchive:
      PrintError(console.err, Joined(QuoteIfNeeded(commandLine.source), ": ",
                                     std::string(OutcomeText(report.outcome))));
      return 1;
    case RunOutcome::NoSourceGiven:
    case RunOutcome::NoDestinationGiven:
    case RunOutcome::DestinationNotFound:
      PrintUsageError(console.err, std::string(OutcomeText(report.outcome)));
      return 2;
  }

  for (const FileFailure& failure : report.failures) {
    // A file that could not be written is named where it was to go; an empty
    // name is the source folder itself.
    const std::filesystem::path& folder =
        failure.reason == FailureReason::CannotWrite || failure.reason == FailureReason::TooLarge
            ? options.destination
            : options.source;
    // Joined as text: an archive's entry may carry an absolute name.
    std::string path = platform::PathToUtf8(folder);
    if (!failure.name.empty()) {
      const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
      if (!path.empty() && path.back() != separator && path.back() != '/') path += separator;
      path += platform::PathToUtf8(failure.name);
    }
    const std::string shown = QuoteIfNeeded(path);
    PrintError(console.err, DescribeFailure(shown, failure));
  }
  if (!commandLine.quiet) {
    for (const GamesNotKept& note : report.notKept) {
      const std::string shown = QuoteIfNeeded(platform::PathToUtf8(options.source / note.name));
      platform::WriteText(console.err, Joined(shown, ": ", NotKeptText(note.count), "\n"));
    }
  }
  if (!commandLine.quiet) {
    for (const RunNote& note : report.notes) {
      const std::filesystem::path& folder =
          note.inDestination ? options.destination : options.source;
      PrintError(console.err, Joined(QuoteIfNeeded(platform::PathToUtf8(folder / note.name)),
                                     ": note: ", note.text));
    }
  }
  const int interruptStatus = platform::InterruptExitStatus();
  if (!commandLine.quiet && report.archivesLeft != 0) {
    platform::WriteText(console.err, Joined(GroupedCount(report.archivesLeft),
                                            report.archivesLeft == 1 ? " archive" : " archives",
                                            " left alone (--archives cleans them)\n"));
  }
  if (!commandLine.quiet) {
    if (report.found == 0 && report.failures.empty()) {
      platform::WriteText(console.err,
                          NothingFoundText(commandLine, options.source, report.subfolderEntries));
    }
    Totals totals;
    totals.cleaned = report.cleaned;
    totals.recovered = report.recovered;
    totals.failed = report.failures.size();
    totals.notStarted = report.notStarted;
    totals.bytesRead = report.bytesRead;
    totals.bytesWritten = report.bytesWritten;
    totals.dryRun = commandLine.dryRun;
    totals.interrupted = interruptStatus != 0;
    if (commandLine.dryRun) ListDetected(StreamsOf(console), options.source, report.detected);
    PrintSummary(console.err, totals, SecondsSince(start));
    if (DetectsCharsets(commandLine)) PrintDetected(console.err, report.detected);
  }
  if (interruptStatus != 0) return interruptStatus;
  return report.failures.empty() ? 0 : 1;
}

}  // namespace

int RunCommandLine(const CommandLine& commandLine, const Console& console) {
  const Clock::time_point start = Clock::now();
  const bool intoArchive = IsArchiveDestination(platform::PathFromUtf8(commandLine.destination));
  if (commandLine.source != "-") {
    std::string reason;
    switch (ClassifySource(platform::PathFromUtf8(commandLine.source), &reason)) {
      case SourceKind::Missing:
        PrintError(console.err, Joined("cannot access ", Quote(commandLine.source), ": ", reason));
        return 2;
      case SourceKind::Folder:
        if (commandLine.destination == "-") {
          PrintUsageError(console.err, "cannot clean a folder to standard output");
          return 2;
        }
        return RunFolderSource(commandLine, console, start);
      case SourceKind::Record:
        // An archive is cleaned as a folder, and so is a record file that
        // goes into an archive; data named as an archive that is none is not
        // taken for a record.
        if (IsArchiveFile(platform::PathFromUtf8(commandLine.source)) ||
            (intoArchive && platform::DefaultFileSystem().KindOf(platform::PathFromUtf8(
                                commandLine.source)) == platform::PathKind::File)) {
          if (commandLine.destination == "-") {
            PrintUsageError(console.err, "cannot clean an archive to standard output");
            return 2;
          }
          return RunFolderSource(commandLine, console, start);
        }
        if (platform::HasArchiveName(platform::PathFromUtf8(commandLine.source))) {
          PrintError(console.err, Joined(QuoteIfNeeded(commandLine.source), ": ",
                                         std::string(OutcomeText(RunOutcome::NotAnArchive))));
          return 1;
        }
        break;
    }
  }
  if (intoArchive) {
    // Its entry would have no name of its own, nor a time.
    PrintUsageError(console.err, "cannot clean standard input or a pipe into an archive");
    return 2;
  }
  return CleanOne(commandLine, console, start);
}

int Main(const std::vector<std::string>& arguments, const Console& console) {
  const CommandLine commandLine = ParseCommandLine(arguments);
  switch (commandLine.action) {
    case CommandLine::Action::Help:
      return StreamsOf(console).WriteStandardOutput(HelpText()).ok() ? 0 : 1;
    case CommandLine::Action::Version:
      return StreamsOf(console).WriteStandardOutput(VersionText()).ok() ? 0 : 1;
    case CommandLine::Action::UsageError:
      PrintUsageError(console.err, commandLine.error);
      return 2;
    case CommandLine::Action::Clean:
      break;
  }
  return RunCommandLine(commandLine, console);
}

}  // namespace varnoket::cli
