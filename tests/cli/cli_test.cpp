// SPDX-License-Identifier: MIT
// The built varnoket-cli, run as a user or a script runs it: exit status,
// standard streams, folders on disk. The same tests run on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/path_text.h"
#include "platform/text_codec.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::Native;
using test::Numbered;
using test::Outcome;
using test::Quoted;

constexpr bool kWindows =
#ifdef _WIN32
    true;
#else
    false;
#endif

constexpr const char* kGame = test::kRichGame;
constexpr const char* kCleaned = test::kRichGameCleaned;
using test::kDamaged;
constexpr const char* kTryHelp = "Try 'varnoket-cli --help' for more information.\n";

using CliTest = test::CliFolderTest;

TEST_F(CliTest, UsageErrorsExitWithTwoAndPointToHelp) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "varnoket-cli: missing operand\n"},
      {{"games"}, "varnoket-cli: missing destination operand after " + Quoted("games") + "\n"},
      {{"-z", "a", "b"}, "varnoket-cli: invalid option -- 'z'\n"},
      {{"--jobs=lots", "a", "b"},
       "varnoket-cli: invalid number of jobs: " + Quoted("lots") + " (0 to 1024)\n"},
      {{"a", "b", "c d"}, "varnoket-cli: extra operand " + Quoted("c d") + "\n"},
      {{"--all-games", "--split", "a.sgf", "b.sgf"},
       "varnoket-cli: options '--all-games' and '--split' exclude each other\n"},
      {{"a", "b", "c\nd"},
       std::string("varnoket-cli: extra operand ") + (kWindows ? "\"c`nd\"" : "'c'$'\\n''d'") +
           "\n"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, message + kTryHelp);
    EXPECT_EQ(outcome.out, "");
  }
}

TEST_F(CliTest, CharsetReadsFilesThatNameNone) {
  fs::create_directories(temp_ / "in");
  test::WriteBytes(temp_ / "in" / "sjis.sgf", "(;PB[\x83\\]PW[x])");
  EXPECT_EQ(Run({"-q", "--charset=Shift_JIS", "in", "out"}).status, 0);
  EXPECT_EQ(Read("out/sjis.sgf"), "(;GM[1]FF[4]CA[Shift_JIS]PW[x]PB[\x83\\])");
  EXPECT_EQ(Run({"-q", "--charset", "sjis", "in/sjis.sgf", "-"}).out,
            "(;GM[1]FF[4]CA[sjis]PW[x]PB[\x83\\])");
  const Outcome unknown = Run({"--charset=klingon", "in", "out"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.err.starts_with("varnoket-cli: unknown charset " + Quoted("klingon")))
      << unknown.err;
  EXPECT_NE(unknown.err.find(" Shift_JIS "), std::string::npos);
  EXPECT_TRUE(unknown.err.ends_with(kTryHelp));
}

// A Japanese or Chinese Windows changes no byte: each file comes out as the
// Linux build writes it by default or, when the file names no charset, is not
// UTF-8, is valid in the system code page and holds a game in it, as it does
// with --charset and that code page's name.
TEST_F(CliTest, FilesComeOutAsOnLinuxInEverySystemCodePage) {
  struct Case {
    std::string name;
    std::string bytes;
    std::string byDefault;  // Linux, and a single-byte code page
    std::string shiftJis;   // code page 932
    std::string gbk;        // code page 936
  };
  const std::string sjis = "(;GM[1]FF[4]CA[Shift_JIS]";
  const std::vector<Case> cases = {
      {"utf-8", "(;PB[\xEB\xB0\x95\xEC\x8B\xA0]PW[x];B[pd])",
       "(;GM[1]FF[4]PW[x]PB[\xEB\xB0\x95\xEC\x8B\xA0]\r\n;B[pd])",
       "(;GM[1]FF[4]PW[x]PB[\xEB\xB0\x95\xEC\x8B\xA0]\r\n;B[pd])",
       "(;GM[1]FF[4]PW[x]PB[\xEB\xB0\x95\xEC\x8B\xA0]\r\n;B[pd])"},
      {"shift_jis", "(;PB[\x83\\]PW[\x96{];B[pd])", "(;GM[1]FF[4]PB[\x83\\]PW[\x96{]\r\n;B[pd])",
       sjis + "PW[\x96{]PB[\x83\\]\r\n;B[pd])",
       "(;GM[1]FF[4]CA[GBK]PW[\x96{]PB[\x83\\]\r\n;B[pd])"},
      // In Shift_JIS the second byte of GBK's name swallows the "]".
      {"gbk", "(;PB[\xC0\xEE]PW[x];B[pd])", "(;GM[1]FF[4]PW[x]PB[\xC0\xEE]\r\n;B[pd])",
       sjis + "PB[\xC0\xEE]PW[x]\r\n;B[pd])", "(;GM[1]FF[4]CA[GBK]PW[x]PB[\xC0\xEE]\r\n;B[pd])"},
      // Read in either charset, the record would break off: "]" trails 0x93.
      {"cut short", "(;PB[x]PW[\x93])", "(;GM[1]FF[4]PW[\x93]PB[x])", "(;GM[1]FF[4]PW[\x93]PB[x])",
       "(;GM[1]FF[4]PW[\x93]PB[x])"},
      // 0xFF is valid in neither.
      {"latin-1", "(;PB[\xFFJos\xE9]PW[x];B[pd])", "(;GM[1]FF[4]PW[x]PB[\xFFJos\xE9]\r\n;B[pd])",
       "(;GM[1]FF[4]PW[x]PB[\xFFJos\xE9]\r\n;B[pd])",
       "(;GM[1]FF[4]PW[x]PB[\xFFJos\xE9]\r\n;B[pd])"},
      {"damaged utf-8", "(;CA[UTF-8]PB[\x83\\]PW[x];B[pd])",
       "(;GM[1]FF[4]CA[UTF-8]PB[\x83\\]PW[x]\r\n;B[pd])",
       "(;GM[1]FF[4]CA[UTF-8]PB[\x83\\]PW[x]\r\n;B[pd])",
       "(;GM[1]FF[4]CA[UTF-8]PB[\x83\\]PW[x]\r\n;B[pd])"},
      {"big5", "(;CA[Big5]PB[\xB3\\]PW[x];B[pd])", "(;GM[1]FF[4]CA[Big5]PW[x]PB[\xB3\\]\r\n;B[pd])",
       "(;GM[1]FF[4]CA[Big5]PW[x]PB[\xB3\\]\r\n;B[pd])",
       "(;GM[1]FF[4]CA[Big5]PW[x]PB[\xB3\\]\r\n;B[pd])"},
  };
  for (const Case& c : cases) Put("in/" + c.name + ".sgf", c.bytes);
  ASSERT_EQ(Run({"-q", "in", "out"}).status, 0);
  const unsigned codePage = platform::SystemCodePage();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " in code page " + std::to_string(codePage));
    const std::string& expected = codePage == 932   ? c.shiftJis
                                  : codePage == 936 ? c.gbk
                                                    : c.byDefault;
    EXPECT_EQ(Read("out/" + c.name + ".sgf"), expected);
  }
}

TEST_F(CliTest, CharsetAutoSaysWhatItDecided) {
  Put("in/gbk.sgf", "(;PB[\xB9\xC5\xC1\xA6]BR[9\xB6\xCE])");  // 古力 9段
  Put("in/damaged.sgf", "(;PB[\xE6\x9F\xAF\xE6\xB4]PW[\xE6\x9F\xAF\xE6\xB4\x81])");
  Put("in/pair.sgf", "(;PB[\xB0\xA1])");
  Put("in/ascii.sgf", "(;PB[Lee])");
  const Outcome dry = Run({"-n", "--charset=auto", "in", "out"});
  EXPECT_EQ(dry.status, 0);
  EXPECT_EQ(dry.out, Native("in/damaged.sgf: UTF-8\nin/gbk.sgf: GBK\nin/pair.sgf: undecided\n"));
  EXPECT_TRUE(dry.err.ends_with("\ndetected: GBK 1, UTF-8 1, undecided 1\n")) << dry.err;
  EXPECT_FALSE(Exists("out"));

  const Outcome run = Run({"--charset", "AUTO", "in", "out"});
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.ends_with("\ndetected: GBK 1, UTF-8 1, undecided 1\n")) << run.err;
  EXPECT_EQ(Read("out/gbk.sgf"), "(;GM[1]FF[4]CA[GBK]PB[\xB9\xC5\xC1\xA6]BR[9\xB6\xCE])");
  EXPECT_EQ(Read("out/pair.sgf"), "(;GM[1]FF[4]PB[\xB0\xA1])");
  EXPECT_EQ(Read("out/ascii.sgf"), "(;GM[1]FF[4]PB[Lee])");
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
  for (const char* option : {"--help", "-h", "-rh"}) {
    SCOPED_TRACE(option);
    const Outcome help = Run({option, "a", "b"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: varnoket-cli [OPTION]... SOURCE DEST\n")) << help.out;
    EXPECT_EQ(help.err, "");
  }
  const Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("varnoket-cli (Varnoket) 1.0.0.1\nCopyright")) << version.out;
}

TEST_F(CliTest, FailuresNameTheFileThatFailedWithTheReasonAndExitWithOne) {
  Put("games/a.sgf", kGame);
  Put("games/broken.sgf", kDamaged);
  Put("games/cut.sgf", "(;GM[1];B[aa];W[b");
  Put("games/taken.sgf", kGame);
  MakeFolder("games/folder.sgf");
  MakeFolder("out/taken.sgf");  // in the way of the cleaned file

  const Outcome outcome = Run({"games", "out"});

  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.err.starts_with(
      "varnoket-cli: " + Native("games/broken.sgf") + ": no game found\n" +
      "varnoket-cli: " + Native("games/cut.sgf") + ": the game record is cut short\n" +
      "varnoket-cli: " + Native("games/folder.sgf") + ": cannot read the file: Is a directory\n" +
      "varnoket-cli: " + Native("out/taken.sgf") + ": cannot write the file: "))
      << outcome.err;
  EXPECT_NE(outcome.err.find("\n1 file cleaned, 4 failed, "), std::string::npos) << outcome.err;
  EXPECT_EQ(Read("out/a.sgf"), kCleaned);
  EXPECT_FALSE(Exists("out/broken.sgf"));
  EXPECT_FALSE(Exists("out/cut.sgf"));
  EXPECT_FALSE(Exists("out/folder.sgf"));
}

// The words of "text" between spaces.
std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// One run each, in a folder of its own: what it puts first, what it exits
// with, what it says and what it leaves behind. Names are listed between
// spaces; a file whose name says "broken" holds a damaged record, any other
// a game (cleaned, in what is left behind), and a name ending in "/" is a
// folder; "-name" is absent.
TEST_F(CliTest, RunsSayWhatTheyDidAndExitWithItsStatus) {
  struct Case {
    const char* what;
    const char* put;
    const char* arguments;
    const char* input;
    int status;
    const char* out;
    std::string err;  // the whole of standard error when empty or ending in "\n", else its start
    const char* left;
  };
  const std::string noGame = ": no game found\n";
  const std::string broken = "varnoket-cli: " + Native("games/broken.sgf") + noGame;
  const std::string noFiles = "no *.sgf files found in " + Quoted("games");
  const Case cases[] = {
      {"missing source", "", "missing out", "", 2, "",
       "varnoket-cli: cannot access " + Quoted("missing") + ": No such file or directory\n",
       "-out"},
      {"folder to standard output", "games/", "games -", "", 2, "",
       std::string("varnoket-cli: cannot clean a folder to standard output\n") + kTryHelp, ""},
      {"folder into a new folder", "games/a.sgf games/B.SGF games/readme.txt", "games out/clean",
       "", 0, "", "2 files cleaned, 0 failed, 156 B read, 120 B written in ",
       "out/clean/a.sgf out/clean/B.SGF -out/clean/readme.txt"},
      {"quiet", "games/a.sgf", "-q games out", "", 0, "", "", "out/a.sgf"},
      {"quiet prints only errors", "games/a.sgf games/broken.sgf", "games out --quiet", "", 1, "",
       broken, "out/a.sgf -out/broken.sgf"},
      {"empty folder", "games/", "games out", "", 0, "", noFiles + "\n0 files cleaned, 0 failed",
       ""},
      {"records only in subfolders", "games/2024/a.sgf", "games out", "", 0, "",
       noFiles + " (it has 1 subfolder; -r cleans them too)\n0 files cleaned, 0 failed", ""},
      {"same folder in place", "games/a.sgf games/broken.sgf", "-q games games/", "", 1, "", broken,
       "games/a.sgf games/broken.sgf"},
      {"standard streams", "", "- -", kGame, 0, kCleaned, "", ""},
      {"file to standard output", "one.sgf", "one.sgf -", "", 0, kCleaned, "", ""},
      {"standard input to a file", "", "- piped.sgf", kGame, 0, "", "", "piped.sgf"},
      {"damaged standard input", "", "- -", kDamaged, 1, "",
       "varnoket-cli: standard input: no game found\n0 files cleaned, 1 failed", ""},
      {"damaged standard input, quiet", "", "-q - -", kDamaged, 1, "",
       "varnoket-cli: standard input: no game found\n", ""},
      {"file to a file", "one.sgf", "-q one.sgf renamed.sgf", "", 0, "", "", "renamed.sgf"},
      {"file into a folder", "one.sgf folder/", "-q one.sgf folder", "", 0, "", "",
       "folder/one.sgf"},
      {"file in place", "one.sgf", "-q one.sgf one.sgf", "", 0, "", "", "one.sgf"},
      {"file into a missing folder", "one.sgf", "-q one.sgf no/such/folder/x.sgf", "", 1, "",
       "varnoket-cli: no/such/folder/x.sgf: cannot write the file: ", ""},
      {"subfolders left alone", "games/top.sgf games/2019/spring/a.sgf games/2019/broken.sgf",
       "-q games flat", "", 0, "", "", "flat/top.sgf -flat/2019"},
      {"recursive mirrors subfolders",
       "games/top.sgf games/2019/spring/a.sgf games/2019/broken.sgf", "-q --recursive games tree",
       "", 1, "", "varnoket-cli: " + Native("games/2019/broken.sgf") + noGame,
       "tree/top.sgf tree/2019/spring/a.sgf -tree/2019/broken.sgf"},
      {"names in any script", "Партии/李昌镐.sgf Партии/broken-조훈현.sgf", "-q Партии Чистые", "",
       1, "", "varnoket-cli: " + Native("Партии/broken-조훈현.sgf") + noGame,
       "Чистые/李昌镐.sgf -Чистые/broken-조훈현.sgf"},
  };
  const auto bytesOf = [](const std::string& name, const char* game) {
    return name.find("broken") != std::string::npos ? kDamaged : game;
  };
  int folder = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    here_ = temp_ / Numbered("run", folder++);
    for (const std::string& name : Words(c.put)) {
      if (name.ends_with('/')) {
        MakeFolder(name);
      } else {
        Put(name, bytesOf(name, kGame));
      }
    }
    const Outcome outcome = Run(Words(c.arguments), c.input);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.out, c.out);
    if (c.err.empty() || c.err.back() == '\n') {
      EXPECT_EQ(outcome.err, c.err);
    } else {
      EXPECT_TRUE(outcome.err.starts_with(c.err)) << outcome.err;
    }
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
    for (const std::string& name : Words(c.left)) {
      if (name.starts_with('-')) {
        EXPECT_FALSE(Exists(name.substr(1))) << name;
      } else {
        EXPECT_EQ(Read(name), bytesOf(name, kCleaned)) << name;
      }
    }
  }
}

// Every file and folder under "folder" but the runner's own, with the bytes
// of the files.
std::map<fs::path, std::string> Tree(const fs::path& folder) {
  std::map<fs::path, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().filename().native()[0] == '.') continue;
    tree[entry.path()] = entry.is_regular_file() ? test::ReadBytes(entry.path()) : "/";
  }
  return tree;
}

// Standard error without the words and the time that only a summary of a
// dry run has.
std::string WithoutDryRunWords(std::string text) {
  for (const std::string words : {"dry run: ", " would be"}) {
    for (std::size_t at; (at = text.find(words)) != std::string::npos;)
      text.erase(at, words.size());
  }
  const std::size_t time = text.rfind(" in ");
  return time == std::string::npos ? text : text.substr(0, time);
}

TEST_F(CliTest, DryRunWritesNothingAndReportsWhatARealRunWould) {
  Put("games/a.sgf", kGame);
  Put("games/broken.sgf", kDamaged);
  Put("games/sub/b.sgf", kGame);
  Put("games/taken.sgf", kGame);
  MakeFolder("games/folder.sgf");
  MakeFolder("out/taken.sgf");
  Put("file", "x");
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"games", "out"}, ""},
      {{"-r", "games", "new/tree"}, ""},
      {{"-r", "games", "file/under"}, ""},
      {{"games/a.sgf", "file/x.sgf"}, ""},
      {{"games/a.sgf", "missing/x.sgf"}, ""},
      {{"games/a.sgf", "copy.sgf"}, ""},
      {{"games/a.sgf", "-"}, ""},
      {{"-", "out"}, kGame},
  };
  for (const auto& [arguments, input] : runs) {
    SCOPED_TRACE(arguments[arguments.size() - 2] + " " + arguments.back());
    const auto before = Tree(temp_.path());
    std::vector<std::string> dryRun = {"--dry-run"};
    dryRun.insert(dryRun.end(), arguments.begin(), arguments.end());
    const Outcome foreseen = Run(dryRun, input);
    EXPECT_TRUE(Tree(temp_.path()) == before) << "a dry run writes nothing";
    EXPECT_EQ(foreseen.out, "");

    const Outcome real = Run(arguments, input);
    EXPECT_EQ(foreseen.status, real.status);
    EXPECT_EQ(WithoutDryRunWords(foreseen.err), WithoutDryRunWords(real.err));
  }
}

TEST_F(CliTest, AnyNumberOfJobsWritesTheSameFiles) {
  for (int i = 0; i < 50; ++i) {
    Put(Numbered("games/s", i % 4) + "/" + Numbered("g", i, ".sgf"),
        i % 9 == 0 ? std::string(kDamaged) : Numbered("(;SZ[19]GN[", i, "];B[aa];W[bb])"));
  }
  const fs::path corpus = test::CorpusDir();
  if (!corpus.empty()) fs::copy(corpus / "annotated", temp_ / "games" / "annotated");

  const Outcome one = Run({"-q", "-r", "-j", "1", "games", "j1"});
  ASSERT_EQ(one.status, 1);
  const auto expected = test::Snapshot(temp_ / "j1");
  ASSERT_FALSE(expected.empty());
  const std::vector<std::vector<std::string>> jobOptions = {{"-j", "4"}, {"--jobs=3"}, {}};
  for (std::size_t i = 0; i < jobOptions.size(); ++i) {
    const std::vector<std::string>& jobs = jobOptions[i];
    const std::string into = Numbered("run", static_cast<int>(i));
    SCOPED_TRACE(into);
    std::vector<std::string> arguments = {"-q", "-r", "games", into};
    arguments.insert(arguments.begin(), jobs.begin(), jobs.end());
    const Outcome many = Run(arguments);
    EXPECT_EQ(many.status, one.status);
    EXPECT_EQ(many.err, one.err);
    EXPECT_TRUE(test::Snapshot(temp_ / into) == expected);
  }
}

}  // namespace
}  // namespace varnoket
