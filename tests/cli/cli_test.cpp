// The built varnoket-cli, run as a user or a script runs it: exit status,
// standard streams, folders on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::Numbered;

constexpr const char* kGame =
    "(;GM[1]FF[4]SZ[9]PB[Black]PW[White]C[comment];B[aa]C[x];W[bb](;B[cc])(;B[dd]))";
constexpr const char* kCleaned =
    "(;GM[1]FF[4]PW[White]PB[Black]SZ[9]\r\n;B[aa]\r\n;W[bb]\r\n;B[cc])";
constexpr const char* kDamaged = "not a game record";
constexpr const char* kTryHelp = "Try 'varnoket-cli --help' for more information.\n";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Reads everything from "fd" until end of file or EIO (a terminal whose
// other side has closed).
std::string Drain(int fd) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

class CliTest : public ::testing::Test {
 protected:
  // Runs varnoket-cli in the temporary folder with "input" on standard input.
  // With "terminal", standard error is a pseudo-terminal.
  Outcome Run(const std::vector<std::string>& arguments, const std::string& input = "",
              bool terminal = false) {
    const fs::path in = temp_ / ".stdin";
    const fs::path out = temp_ / ".stdout";
    const fs::path err = temp_ / ".stderr";
    test::WriteBytes(in, input);
    int master = -1;
    std::string slaveName;
    if (terminal) {
      master = ::posix_openpt(O_RDWR | O_NOCTTY);
      EXPECT_GE(master, 0);
      EXPECT_EQ(::grantpt(master), 0);
      EXPECT_EQ(::unlockpt(master), 0);
      slaveName = ::ptsname(master);
    }

    const pid_t child = ::fork();
    if (child == 0) {
      const int inFd = ::open(in.c_str(), O_RDONLY);
      const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int errFd = terminal ? ::open(slaveName.c_str(), O_RDWR)
                                 : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (inFd < 0 || outFd < 0 || errFd < 0) ::_exit(127);
      ::dup2(inFd, 0);
      ::dup2(outFd, 1);
      ::dup2(errFd, 2);
      if (::chdir(temp_.path().c_str()) != 0) ::_exit(127);
      std::vector<char*> argv;
      std::string program = VARNOKET_CLI_PATH;
      argv.push_back(program.data());
      std::vector<std::string> copies = arguments;
      for (std::string& argument : copies) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    Outcome outcome;
    if (terminal) outcome.err = Drain(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (terminal) ::close(master);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = test::ReadBytes(out);
    if (!terminal) outcome.err = test::ReadBytes(err);
    return outcome;
  }

  void Put(const fs::path& name, const std::string& bytes) {
    fs::create_directories((temp_ / name).parent_path());
    test::WriteBytes(temp_ / name, bytes);
  }
  std::string Read(const fs::path& name) { return test::ReadBytes(temp_ / name); }
  bool Exists(const fs::path& name) { return fs::exists(temp_ / name); }

  test::TempFolder temp_;
};

TEST_F(CliTest, UsageErrorsExitWithTwoAndPointToHelp) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "varnoket-cli: missing operand\n"},
      {{"games"}, "varnoket-cli: missing destination operand after 'games'\n"},
      {{"-z", "a", "b"}, "varnoket-cli: invalid option -- 'z'\n"},
      {{"--jobs=lots", "a", "b"}, "varnoket-cli: invalid number of jobs: 'lots' (0 to 1024)\n"},
      {{"a", "b", "c"}, "varnoket-cli: extra operand 'c'\n"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    const Outcome outcome = Run(arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, message + kTryHelp);
    EXPECT_EQ(outcome.out, "");
  }
}

TEST_F(CliTest, MissingSourceExitsWithTwo) {
  const Outcome outcome = Run({"missing", "out"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err, "varnoket-cli: cannot access 'missing': No such file or directory\n");
  EXPECT_FALSE(Exists("out"));
}

TEST_F(CliTest, FolderCannotGoToStandardOutput) {
  fs::create_directories(temp_ / "games");
  const Outcome outcome = Run({"games", "-"});
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err,
            std::string("varnoket-cli: cannot clean a folder to standard output\n") + kTryHelp);
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: varnoket-cli [OPTION]... SOURCE DEST\n")) << help.out;
  EXPECT_EQ(help.err, "");
  Outcome version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "varnoket-cli (Varnoket) 1.0.0.1\n");
}

TEST_F(CliTest, FolderIsCleanedIntoANewFolderWithASummary) {
  Put("games/a.sgf", kGame);
  Put("games/B.SGF", kGame);
  Put("games/readme.txt", "x");

  const Outcome outcome = Run({"games", "out/clean"});

  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(Read("out/clean/a.sgf"), kCleaned);
  EXPECT_EQ(Read("out/clean/B.SGF"), kCleaned);
  EXPECT_FALSE(Exists("out/clean/readme.txt"));
  EXPECT_TRUE(outcome.err.starts_with("2 files cleaned, 0 failed, 156 B read, 120 B written in "))
      << outcome.err;
  EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
}

TEST_F(CliTest, FailuresAreListedWithTheirReasonAndExitWithOne) {
  Put("games/a.sgf", kGame);
  Put("games/broken.sgf", kDamaged);
  fs::create_directories(temp_ / "games" / "folder.sgf");

  const Outcome outcome = Run({"games", "out"});

  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.err.starts_with(
      "varnoket-cli: games/broken.sgf: no game found\n"
      "varnoket-cli: games/folder.sgf: cannot read the file: Is a directory\n"
      "1 file cleaned, 2 failed, "))
      << outcome.err;
  EXPECT_EQ(Read("out/a.sgf"), kCleaned);
  EXPECT_FALSE(Exists("out/broken.sgf"));
  EXPECT_FALSE(Exists("out/folder.sgf"));
}

TEST_F(CliTest, QuietPrintsOnlyErrors) {
  Put("games/a.sgf", kGame);
  Outcome outcome = Run({"-q", "games", "out"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");

  Put("games/broken.sgf", kDamaged);
  outcome = Run({"games", "out", "--quiet"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "varnoket-cli: games/broken.sgf: no game found\n");
}

TEST_F(CliTest, EmptyFolderIsNotAnError) {
  fs::create_directories(temp_ / "games");
  const Outcome outcome = Run({"games", "out"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.err.starts_with("no *.sgf files found in 'games'\n0 files cleaned, 0 failed"))
      << outcome.err;
}

TEST_F(CliTest, SameFolderCleansInPlace) {
  Put("games/a.sgf", kGame);
  Put("games/broken.sgf", kDamaged);

  const Outcome outcome = Run({"-q", "games", "games/"});

  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(Read("games/a.sgf"), kCleaned);
  EXPECT_EQ(Read("games/broken.sgf"), kDamaged);
}

TEST_F(CliTest, StandardStreamsCarryOneRecord) {
  Outcome outcome = Run({"-q", "-", "-"}, kGame);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, kCleaned);
  EXPECT_EQ(outcome.err, "");

  outcome = Run({"-", "-"}, kDamaged);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(outcome.err.starts_with(
      "varnoket-cli: standard input: no game found\n0 files cleaned, 1 failed"))
      << outcome.err;

  outcome = Run({"-q", "-", "piped.sgf"}, kGame);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(Read("piped.sgf"), kCleaned);

  Put("one.sgf", kGame);
  outcome = Run({"-q", "one.sgf", "-"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, kCleaned);
}

TEST_F(CliTest, SingleFileGoesToAFileOrIntoAFolder) {
  Put("one.sgf", kGame);
  fs::create_directories(temp_ / "folder");

  EXPECT_EQ(Run({"-q", "one.sgf", "renamed.sgf"}).status, 0);
  EXPECT_EQ(Read("renamed.sgf"), kCleaned);
  EXPECT_EQ(Run({"-q", "one.sgf", "folder"}).status, 0);
  EXPECT_EQ(Read("folder/one.sgf"), kCleaned);
  EXPECT_EQ(Run({"-q", "one.sgf", "one.sgf"}).status, 0);
  EXPECT_EQ(Read("one.sgf"), kCleaned);

  const Outcome outcome = Run({"-q", "one.sgf", "no/such/folder/x.sgf"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(
      outcome.err,
      "varnoket-cli: no/such/folder/x.sgf: cannot write the file: No such file or directory\n");
}

TEST_F(CliTest, DeviceOrPipeAsDestinationIsWrittenIntoNotReplaced) {
  Put("one.sgf", kGame);
  const fs::path pipe = temp_ / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Opening the reading end without blocking lets the program open the
  // writing end; the pipe holds far more than one cleaned record.
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);

  const Outcome outcome = Run({"-q", "one.sgf", "pipe"});
  const std::string received = Drain(reader);
  ::close(reader);

  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(received, kCleaned);
  EXPECT_TRUE(fs::is_fifo(pipe)) << "the pipe itself must survive";
}

TEST_F(CliTest, RecursiveMirrorsSubfolders) {
  Put("games/top.sgf", kGame);
  Put("games/2019/spring/a.sgf", kGame);
  Put("games/2019/broken.sgf", kDamaged);

  Outcome outcome = Run({"-q", "games", "flat"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_FALSE(Exists("flat/2019"));

  outcome = Run({"-q", "--recursive", "games", "tree"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "varnoket-cli: games/2019/broken.sgf: no game found\n");
  EXPECT_EQ(Read("tree/top.sgf"), kCleaned);
  EXPECT_EQ(Read("tree/2019/spring/a.sgf"), kCleaned);
  EXPECT_FALSE(Exists("tree/2019/broken.sgf"));
}

// Every file under "folder", by relative path, with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::path& path : test::FilesUnder(folder)) {
    files[path.lexically_relative(folder).generic_string()] = test::ReadBytes(path);
  }
  return files;
}

TEST_F(CliTest, AnyNumberOfJobsWritesTheSameFiles) {
  for (int i = 0; i < 50; ++i) {
    Put(fs::path(Numbered("games/s", i % 4)) / Numbered("g", i, ".sgf"),
        i % 9 == 0 ? std::string(kDamaged) : Numbered("(;SZ[19]GN[", i, "];B[aa];W[bb])"));
  }
  const fs::path corpus = test::CorpusDir();
  if (!corpus.empty()) fs::copy(corpus / "annotated", temp_ / "games" / "annotated");

  const Outcome one = Run({"-q", "-r", "-j", "1", "games", "j1"});
  ASSERT_EQ(one.status, 1);
  const auto expected = Snapshot(temp_ / "j1");
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
    EXPECT_TRUE(Snapshot(temp_ / into) == expected);
  }
}

TEST_F(CliTest, ProgressBarAppearsOnlyOnATerminal) {
  for (int i = 0; i < 20; ++i) Put(Numbered("games/g", i, ".sgf"), kGame);

  Outcome outcome = Run({"games", "out"}, "", /*terminal=*/true);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.err.find("/20 files"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("\r\x1b[K20 files cleaned"), std::string::npos)
      << "the bar is cleared before the summary: " << outcome.err;

  outcome = Run({"-q", "games", "out"}, "", /*terminal=*/true);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
}

}  // namespace
}  // namespace varnoket
