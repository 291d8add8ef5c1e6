#include "cli/command.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "batch/batch_run.h"
#include "cli/progress.h"
#include "platform/file_system.h"

namespace varnoket::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void PrintError(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%.*s: %s\n", static_cast<int>(kProgramName.size()), kProgramName.data(),
               message.c_str());
}

void PrintUsageError(std::FILE* err, const std::string& message) {
  PrintError(err, message);
  std::fprintf(err, "Try '%.*s --help' for more information.\n",
               static_cast<int>(kProgramName.size()), kProgramName.data());
}

// A failure as the command line prints it: "<path>: <reason>[: <system text>]".
std::string DescribeFailure(const std::string& shownName, FailureReason reason,
                            const std::string& systemMessage) {
  std::string text = shownName + ": " + std::string(ReasonText(reason));
  if (!systemMessage.empty()) text += ": " + systemMessage;
  return text;
}

// What one command did, for the closing summary.
struct Totals {
  std::size_t cleaned = 0;
  std::size_t failed = 0;
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesWritten = 0;
};

void PrintSummary(std::FILE* err, const Totals& totals, double seconds) {
  std::fprintf(err, "%zu %s cleaned, %zu failed, %s read, %s written in %s\n", totals.cleaned,
               totals.cleaned == 1 ? "file" : "files", totals.failed,
               FormatBytes(totals.bytesRead).c_str(), FormatBytes(totals.bytesWritten).c_str(),
               FormatDuration(seconds).c_str());
}

platform::Streams& StreamsOf(const Console& console) {
  return console.streams != nullptr ? *console.streams : platform::DefaultStreams();
}

// SOURCE is one record (a file, another readable thing, or standard input):
// cleans it into DEST (a file, a folder to put it in, or standard output).
int CleanOne(const CommandLine& commandLine, const Console& console, Clock::time_point start) {
  Totals totals;
  const bool fromStdin = commandLine.source == "-";
  const std::filesystem::path source(commandLine.source);
  platform::FileSystem& files = platform::DefaultFileSystem();
  platform::Streams& streams = StreamsOf(console);

  std::string bytes;
  platform::IoStatus status;
  if (fromStdin) {
    status = streams.ReadStandardInput(&bytes);
  } else if (files.KindOf(source) == platform::PathKind::File) {
    status = files.ReadFile(source, &bytes);
  } else {
    status = streams.ReadNamedStream(source, &bytes);  // a pipe or a device
  }

  const std::string shownName = fromStdin ? "standard input" : commandLine.source;
  std::string failure;
  if (!status.ok()) {
    failure = DescribeFailure(shownName, FailureReason::CannotRead, status.message());
  } else {
    totals.bytesRead = bytes.size();
    std::string cleaned;
    const CleanResult result = CleanBytes(bytes, &cleaned);
    bytes = std::string();
    if (!result.ok) {
      failure = DescribeFailure(shownName, result.reason, "");
    } else if (commandLine.destination == "-") {
      status = streams.WriteStandardOutput(cleaned);
      if (!status.ok()) {
        failure = DescribeFailure("standard output", FailureReason::CannotWrite, status.message());
      }
    } else {
      std::filesystem::path target(commandLine.destination);
      // A record from standard input has no name to give it inside a folder;
      // writing to the folder itself then fails and says so.
      if (!fromStdin && files.KindOf(target) == platform::PathKind::Folder) {
        target /= source.filename();
      }
      // A device or a pipe (/dev/null, /dev/stdout, a FIFO) is written into;
      // only a file is replaced, so that the node itself is never swapped out.
      status = files.KindOf(target) == platform::PathKind::Other
                   ? streams.WriteNamedStream(target, cleaned)
                   : files.WriteFileAtomically(target, cleaned);
      if (!status.ok()) {
        failure = DescribeFailure(target.string(), FailureReason::CannotWrite, status.message());
      }
    }
    if (failure.empty()) {
      totals.cleaned = 1;
      totals.bytesWritten = cleaned.size();
    }
  }

  if (!failure.empty()) {
    totals.failed = 1;
    PrintError(console.err, failure);
  }
  if (!commandLine.quiet) PrintSummary(console.err, totals, SecondsSince(start));
  return totals.failed == 0 ? 0 : 1;
}

// SOURCE is a folder: the batch run into the folder DEST.
int CleanFolder(const CommandLine& commandLine, const Console& console, Clock::time_point start) {
  BatchOptions options;
  options.source = commandLine.source;
  options.destination = commandLine.destination;
  options.recursive = commandLine.recursive;
  options.createDestination = true;
  options.jobs = commandLine.jobs;

  bool barShown = false;
  Clock::time_point lastDrawn;
  if (console.progressBar && !commandLine.quiet) {
    options.onProgress = [&](const BatchProgress& progress) {
      const Clock::time_point now = Clock::now();
      if (barShown && progress.done != progress.total && now - lastDrawn < kRedrawInterval) return;
      lastDrawn = now;
      barShown = true;
      const std::string line = FormatProgress(progress.done, progress.total, SecondsSince(start));
      std::fprintf(console.err, "\r%s\x1b[K", line.c_str());
      std::fflush(console.err);
    };
  }

  const BatchReport report = RunBatch(options);
  if (barShown) {
    std::fputs("\r\x1b[K", console.err);
    std::fflush(console.err);
  }

  switch (report.outcome) {
    case RunOutcome::Completed:
      break;
    case RunOutcome::CannotCreateDestination:
      PrintError(console.err,
                 "cannot create folder '" + commandLine.destination + "': " + report.systemMessage);
      return 1;
    case RunOutcome::SourceNotFound:
      PrintError(console.err, "cannot access '" + commandLine.source + "': not a folder");
      return 2;
    case RunOutcome::NoSourceGiven:
    case RunOutcome::NoDestinationGiven:
    case RunOutcome::DestinationNotFound:
      PrintUsageError(console.err, std::string(OutcomeText(report.outcome)));
      return 2;
  }

  for (const FileFailure& failure : report.failures) {
    const std::filesystem::path shown = std::filesystem::path(commandLine.source) / failure.name;
    PrintError(console.err, DescribeFailure(shown.string(), failure.reason, failure.systemMessage));
  }
  if (!commandLine.quiet) {
    if (report.found == 0) {
      std::fprintf(console.err, "no *.sgf files found in '%s'\n", commandLine.source.c_str());
    }
    Totals totals;
    totals.cleaned = report.cleaned;
    totals.failed = report.failed;
    totals.bytesRead = report.bytesRead;
    totals.bytesWritten = report.bytesWritten;
    PrintSummary(console.err, totals, SecondsSince(start));
  }
  return report.failed == 0 ? 0 : 1;
}

}  // namespace

int RunClean(const CommandLine& commandLine, const Console& console) {
  const Clock::time_point start = Clock::now();
  if (commandLine.source != "-") {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(commandLine.source, error);
    if (error || status.type() == std::filesystem::file_type::not_found) {
      const std::string reason = error ? error.message() : std::strerror(ENOENT);
      PrintError(console.err, "cannot access '" + commandLine.source + "': " + reason);
      return 2;
    }
    if (status.type() == std::filesystem::file_type::directory) {
      if (commandLine.destination == "-") {
        PrintUsageError(console.err, "cannot clean a folder to standard output");
        return 2;
      }
      return CleanFolder(commandLine, console, start);
    }
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
  return RunClean(commandLine, console);
}

}  // namespace varnoket::cli
