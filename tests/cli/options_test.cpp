// SPDX-License-Identifier: MIT
// The command line's grammar and the progress line's wording.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/progress.h"
#include "tests/cli/cli_runner.h"

namespace varnoket::cli {
namespace {

using Arguments = std::vector<std::string>;
using test::Quoted;

std::string Joined(const Arguments& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += "[" + argument + "]";
  return text;
}

TEST(CommandLineTest, AcceptsGnuStyleOptionsAnywhere) {
  struct Case {
    Arguments arguments;
    bool recursive;
    bool quiet;
    unsigned jobs;
    std::string source;
    std::string destination;
    bool dryRun = false;
    bool follow = false;
  };
  const std::vector<Case> cases = {
      {{"in", "out"}, false, false, 0, "in", "out"},
      {{"-r", "in", "out"}, true, false, 0, "in", "out"},
      {{"in", "out", "--recursive"}, true, false, 0, "in", "out"},
      {{"-rq", "in", "out"}, true, true, 0, "in", "out"},
      {{"-qrj3", "in", "out"}, true, true, 3, "in", "out"},
      {{"-j", "4", "in", "out"}, false, false, 4, "in", "out"},
      {{"-j4", "in", "out"}, false, false, 4, "in", "out"},
      {{"--jobs=2", "in", "out"}, false, false, 2, "in", "out"},
      {{"--jobs", "2", "in", "out"}, false, false, 2, "in", "out"},
      {{"--jobs=0", "in", "out"}, false, false, 0, "in", "out"},
      {{"--jobs=1024", "in", "out"}, false, false, 1024, "in", "out"},
      {{"-j", "1", "-j", "8", "in", "out"}, false, false, 8, "in", "out"},
      {{"--recu", "--qu", "--j=5", "in", "out"}, true, true, 5, "in", "out"},
      {{"-", "-"}, false, false, 0, "-", "-"},
      {{"-q", "-", "out.sgf"}, false, true, 0, "-", "out.sgf"},
      {{"--", "-r", "--jobs"}, false, false, 0, "-r", "--jobs"},
      {{"in", "--", "-q"}, false, false, 0, "in", "-q"},
      {{"-n", "in", "out"}, false, false, 0, "in", "out", true},
      {{"-rnq", "in", "out"}, true, true, 0, "in", "out", true},
      {{"in", "out", "--dry"}, false, false, 0, "in", "out", true},
      {{"-rL", "in", "out"}, true, false, 0, "in", "out", false, true},
      {{"-r", "in", "out", "--follow"}, true, false, 0, "in", "out", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    const CommandLine line = ParseCommandLine(c.arguments);
    ASSERT_EQ(line.action, CommandLine::Action::Clean) << line.error;
    EXPECT_EQ(line.recursive, c.recursive);
    EXPECT_EQ(line.follow, c.follow);
    EXPECT_EQ(line.quiet, c.quiet);
    EXPECT_EQ(line.jobs, c.jobs);
    EXPECT_EQ(line.source, c.source);
    EXPECT_EQ(line.destination, c.destination);
    EXPECT_EQ(line.dryRun, c.dryRun);
  }
}

TEST(CommandLineTest, ReportsTheFirstMistakeAsGnuToolsWordIt) {
  const std::vector<std::pair<Arguments, std::string>> cases = {
      {{}, "missing operand"},
      {{"-r"}, "missing operand"},
      {{"games"}, "missing destination operand after " + Quoted("games")},
      {{"a", "b", "c"}, "extra operand " + Quoted("c")},
      {{"-x", "a", "b"}, "invalid option -- 'x'"},
      {{"-rx", "a", "b"}, "invalid option -- 'x'"},
      {{"--frobnicate", "a", "b"}, "unrecognized option '--frobnicate'"},
      {{"--recursive=yes", "a", "b"}, "option '--recursive' doesn't allow an argument"},
      {{"a", "b", "-j"}, "option requires an argument -- 'j'"},
      {{"a", "b", "--jobs"}, "option '--jobs' requires an argument"},
      {{"a", "b", "--charset"}, "option '--charset' requires an argument"},
      {{"-j", "many", "a", "b"}, "invalid number of jobs: " + Quoted("many") + " (0 to 1024)"},
      {{"-j-1", "a", "b"}, "invalid number of jobs: " + Quoted("-1") + " (0 to 1024)"},
      {{"--jobs=", "a", "b"}, "invalid number of jobs: " + Quoted("") + " (0 to 1024)"},
      {{"--jobs=1025", "a", "b"}, "invalid number of jobs: " + Quoted("1025") + " (0 to 1024)"},
      {{"--jobs=99999999999", "a", "b"},
       "invalid number of jobs: " + Quoted("99999999999") + " (0 to 1024)"},
      {{"", "b"}, "invalid empty operand ''"},
      {{"-x", "--help"}, "invalid option -- 'x'"},
  };
  for (const auto& [arguments, error] : cases) {
    SCOPED_TRACE(Joined(arguments));
    const CommandLine line = ParseCommandLine(arguments);
    EXPECT_EQ(line.action, CommandLine::Action::UsageError);
    EXPECT_EQ(line.error, error);
  }
}

TEST(CommandLineTest, CharsetTakesAKnownNameAndListsThemOtherwise) {
  EXPECT_FALSE(ParseCommandLine({"a", "b"}).charset);
  EXPECT_EQ(ParseCommandLine({"--charset", "sjis", "a", "b"}).charset->name, "sjis");
  EXPECT_EQ(ParseCommandLine({"a", "--char=Big5", "b"}).charset->grouping, ByteGrouping::Big5);
  EXPECT_TRUE(ParseCommandLine({"--charset=auto", "a", "b"}).charset->detect);
  const CommandLine unknown = ParseCommandLine({"--charset=klingon", "a", "b"});
  ASSERT_EQ(unknown.action, CommandLine::Action::UsageError);
  EXPECT_TRUE(
      unknown.error.starts_with("unknown charset " + Quoted("klingon") + "; accepted names"))
      << unknown.error;
  for (const CharsetName& known : KnownCharsets()) {
    std::string listed = " ";
    listed += known.name;
    EXPECT_NE(unknown.error.find(listed), std::string::npos) << known.name;
  }
}

TEST(CommandLineTest, HelpAndVersionWinOverWhatFollows) {
  EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"a", "b", "c", "--help", "-x"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"--he"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"a", "-qh", "-x"}).action, CommandLine::Action::Help);
  EXPECT_EQ(ParseCommandLine({"--version", "--help"}).action, CommandLine::Action::Version);
  EXPECT_TRUE(VersionText().starts_with("varnoket-cli (Varnoket) 1.0.0.1\n")) << VersionText();
  EXPECT_NE(VersionText().find("\nLicense MIT: "), std::string::npos) << VersionText();
  EXPECT_TRUE(HelpText().starts_with("Usage: varnoket-cli [OPTION]... SOURCE DEST\n"));
}

TEST(CommandLineTest, HelpNamesTheWaysOfStoppingARunThatTheSystemHas) {
#ifdef _WIN32
  const bool windows = true;
#else
  const bool windows = false;
#endif
  const std::string help = HelpText();
  EXPECT_NE(help.find("Ctrl-C"), std::string::npos);
  EXPECT_EQ(help.find("Ctrl-Break") != std::string::npos, windows);
  EXPECT_EQ(help.find("SIGTERM") != std::string::npos, !windows);
}

TEST(ProgressTest, LineShowsDoneOfTotalRateAndTimeLeft) {
  struct Case {
    std::size_t done;
    std::size_t total;
    double seconds;
    std::string line;
  };
  const std::vector<Case> cases = {
      {0, 1000, 0.0, "[....................]  0/1000 files"},
      {350, 1000, 0.5, "[#######.............]  350/1000 files  700 files/s  0:01 left"},
      {1000, 1000, 2.0, "[####################]  1000/1000 files  500 files/s  0:00 left"},
      {1, 10000, 2.0, "[....................]  1/10000 files  0 files/s  5:33:18 left"},
      {0, 0, 0.1, "[####################]  0/0 files"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(FormatProgress(c.done, c.total, c.seconds, 80), c.line);
  }
}

TEST(ProgressTest, LineFitsTheWidthGivingUpTheLeastUsefulPartsFirst) {
  struct Case {
    std::size_t width;
    std::string line;
  };
  const std::vector<Case> cases = {
      {80, "[#######.............]  350/1000 files  700 files/s  0:01 left"},
      {62, "[#######.............]  350/1000 files  700 files/s  0:01 left"},
      {55, "[####.........]  350/1000 files  700 files/s  0:01 left"},
      {50, "[##......]  350/1000 files  700 files/s  0:01 left"},
      {49, "[#######.............]  350/1000 files  0:01 left"},
      {40, "[###........]  350/1000 files  0:01 left"},
      {37, "[##......]  350/1000 files  0:01 left"},
      {36, "[######............]  350/1000 files"},
      {26, "[##......]  350/1000 files"},
      {25, "350/1000 files"},
      {13, "350/1000"},
      {5, "350/1"},
      {0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    EXPECT_EQ(FormatProgress(350, 1000, 0.5, c.width), c.line);
  }
}

TEST(ProgressTest, SizesAndDurationsReadEasily) {
  EXPECT_EQ(FormatBytes(0), "0 B");
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(1536), "1.5 KiB");
  EXPECT_EQ(FormatBytes(19293798), "18.4 MiB");
  EXPECT_EQ(FormatBytes(5ull << 40), "5.0 TiB");
  EXPECT_EQ(FormatBytes(5ull << 50), "5120.0 TiB");
  EXPECT_EQ(FormatDuration(0.4242), "0.42 s");
  EXPECT_EQ(FormatDuration(187), "3:07");
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
  EXPECT_EQ(FormatDuration(-1), "0.00 s");
}

}  // namespace
}  // namespace varnoket::cli
