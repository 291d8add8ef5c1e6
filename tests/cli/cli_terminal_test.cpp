// SPDX-License-Identifier: MIT
// varnoket-cli where only POSIX systems can put it: on a terminal that is
// resized, under SIGINT and SIGTERM, writing into a pipe, before pipes,
// sockets and devices named like games, folders that permissions close and
// paths longer than a system call takes, and given names with bytes that no
// Windows name can hold.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_runner.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::Numbered;
using test::Outcome;

constexpr const char* kGame = "(;GM[1]FF[4]SZ[9]PB[Black]PW[White];B[aa];W[bb])";
constexpr const char* kCleaned = "(;GM[1]FF[4]PW[White]PB[Black]SZ[9]\r\n;B[aa]\r\n;W[bb])";
using test::kDamaged;

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

// varnoket-cli with standard error on a pseudo-terminal of a given width.
// The terminal's output can be stopped first, as Ctrl-S stops it, so that the
// program's first write to it (its first progress line, after its first
// file) waits until the test reads it: the test then acts at a known point
// of the run.
class TerminalRun {
 public:
  TerminalRun(const fs::path& folder, const std::vector<std::string>& arguments,
              unsigned short columns, bool blockFirstWrite) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(::grantpt(master_), 0);
    EXPECT_EQ(::unlockpt(master_), 0);
    const std::string slave = ::ptsname(master_);
    Resize(columns);
    if (blockFirstWrite) {
      stopped_ = true;
      EXPECT_EQ(::write(master_, "\x13", 1), 1);  // Ctrl-S, which the terminal takes in its time
      const int probe = ::open(slave.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY);
      EXPECT_GE(probe, 0);
      while (::write(probe, "x", 1) == 1) ::usleep(100);
      EXPECT_EQ(errno, EAGAIN) << "the terminal takes no more output";
      ::close(probe);
    }
    child_ = ::fork();
    if (child_ == 0) {
      const int err = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
      const int null = ::open("/dev/null", O_RDWR);
      if (err < 0 || null < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(err, 2);
      test::ExecCli(arguments);
    }
  }
  ~TerminalRun() {
    if (master_ >= 0) ::close(master_);
  }

  void Resize(unsigned short columns) {
    struct winsize size {};
    size.ws_row = 24;
    size.ws_col = columns;
    EXPECT_EQ(::ioctl(master_, TIOCSWINSZ, &size), 0);
  }
  void Signal(int signal) { ::kill(child_, signal); }

  // Reads the terminal until the program ends; what it wrote, without the
  // filling, and its exit status.
  Outcome Finish() {
    if (stopped_) {
      EXPECT_EQ(::write(master_, "\x11", 1), 1);  // Ctrl-Q
    }
    Outcome outcome;
    outcome.err = Drain(master_);
    outcome.err.erase(0, outcome.err.find_first_not_of('x'));
    int status = 0;
    ::waitpid(child_, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
  }

 private:
  int master_ = -1;
  pid_t child_ = -1;
  bool stopped_ = false;
};

// What was drawn on the line before the first message: the pieces between
// carriage returns, the last of which begins that message.
std::vector<std::string> DrawnLines(const std::string& output) {
  std::vector<std::string> lines;
  const std::string drawn = output.substr(0, output.find('\n'));
  for (std::size_t start = 0; start <= drawn.size();) {
    const std::size_t end = std::min(drawn.find('\r', start), drawn.size());
    if (end > start) lines.push_back(drawn.substr(start, end - start));
    start = end + 1;
  }
  if (!lines.empty()) lines.pop_back();
  return lines;
}

class CliTerminalTest : public test::CliFolderTest {
 protected:
  void PutGames(int count) {
    fs::create_directories(temp_ / "games");
    for (int i = 0; i < count; ++i)
      test::WriteBytes(temp_ / Numbered("games/g", 1000 + i, ".sgf"), kGame);
  }
  // Waits until "name" exists, however long the machine takes.
  void AwaitFile(const fs::path& name) {
    while (!fs::exists(temp_ / name)) ::usleep(1000);
  }
};

TEST_F(CliTerminalTest, ProgressLineFitsTheTerminalFollowsItsSizeAndIsErased) {
  PutGames(30);
  TerminalRun run(temp_.path(), {"-j1", "games", "out"}, 40, /*blockFirstWrite=*/true);
  AwaitFile("out/g1000.sgf");  // the first progress line is being written
  run.Resize(30);
  run.Signal(SIGWINCH);
  const Outcome outcome = run.Finish();

  EXPECT_EQ(outcome.status, 0);
  const std::vector<std::string> lines = DrawnLines(outcome.err);
  ASSERT_GE(lines.size(), 3u) << outcome.err;
  EXPECT_TRUE(lines.front().starts_with("[")) << lines.front();
  EXPECT_NE(lines.front().find("]  1/30 files"), std::string::npos) << lines.front();
  EXPECT_LE(lines.front().size(), 37u) << "three columns stay free of 40";
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_LE(lines[i].size(), 27u) << "three columns stay free of 30";
  }
  EXPECT_EQ(lines.back(), std::string(lines[lines.size() - 2].size() + 2, ' '))
      << "the last line is wiped before the summary";
  EXPECT_NE(outcome.err.find("30 files cleaned, 0 failed"), std::string::npos);
  EXPECT_EQ(outcome.err.find("\x1b"), std::string::npos) << "plain text, no escape sequences";
}

// A signal sent twice at once, as timeout(1) sends it to the program and its
// process group, is one request.
TEST_F(CliTerminalTest, InterruptFinishesTheFilesInHandAndSaysSo) {
  struct Case {
    int signal;
    int times;
    int status;
  };
  const Case cases[] = {{SIGINT, 1, 130}, {SIGTERM, 1, 143}, {SIGTERM, 2, 143}};
  PutGames(20);
  for (const auto& [signal, times, status] : cases) {
    SCOPED_TRACE(testing::Message() << status << " sent " << times << " times");
    fs::remove_all(temp_ / "out");
    TerminalRun run(temp_.path(), {"-j1", "games", "out"}, 80, /*blockFirstWrite=*/true);
    AwaitFile("out/g1000.sgf");
    for (int i = 0; i < times; ++i) run.Signal(signal);
    const Outcome outcome = run.Finish();

    EXPECT_EQ(outcome.status, status);
    // The run may also note that it did not wait for the final flush of the
    // disk, on a line of its own before the summary.
    const std::size_t summary =
        outcome.err.find("interrupted: 1 file cleaned, 0 failed, 19 not started, ");
    ASSERT_NE(summary, std::string::npos) << outcome.err;
    EXPECT_TRUE(summary > 0 &&
                (outcome.err[summary - 1] == '\r' || outcome.err[summary - 1] == '\n'))
        << "the summary begins a line: " << outcome.err;
    EXPECT_EQ(DrawnLines(outcome.err).back().find_first_not_of(' '), std::string::npos)
        << "the progress line is wiped";
    EXPECT_EQ(test::FilesUnder(temp_ / "out").size(), 1u) << "no file started after the signal";
  }
}

// Split from a pipe: a stop while the record is being read ends the run at
// the games read by then, each written whole, and the game it cut short is
// neither written nor reported broken.
TEST_F(CliTerminalTest, InterruptEndsASplitAtTheGamesRead) {
  int input[2];
  ASSERT_EQ(::pipe(input), 0);
  fs::create_directories(temp_ / "out");
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open((temp_ / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_WRONLY);
    if (err < 0 || null < 0 || ::chdir(temp_.path().c_str()) != 0) ::_exit(127);
    ::dup2(input[0], 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    ::close(input[1]);
    test::ExecCli({"--split", "-", "out/g.sgf"});
  }
  const std::string games = std::string(kGame) + kGame + kGame + "(;GM[1]FF[4];B[cc]";
  ASSERT_EQ(::write(input[1], games.data(), games.size()), static_cast<ssize_t>(games.size()));
  // Once the program has taken all of it, it is reading the record.
  for (int unread = 1; unread != 0;) {
    ASSERT_EQ(::ioctl(input[0], FIONREAD, &unread), 0);
    if (unread != 0) ::usleep(1000);
  }
  ::kill(child, SIGINT);
  ::close(input[1]);  // the read it is in ends
  ::close(input[0]);
  int status = 0;
  ::waitpid(child, &status, 0);

  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 130);
  const std::string err = test::ReadBytes(temp_ / "err.txt");
  EXPECT_TRUE(err.starts_with("interrupted: 3 files cleaned, 0 failed, 0 not started, ")) << err;
  EXPECT_EQ(test::Snapshot(temp_ / "out"),
            (std::map<std::string, std::string>{
                {"g-0001.sgf", kCleaned}, {"g-0002.sgf", kCleaned}, {"g-0003.sgf", kCleaned}}));
}

TEST_F(CliTerminalTest, DeviceOrPipeAsDestinationIsWrittenIntoNotReplaced) {
  test::WriteBytes(temp_ / "one.sgf", kGame);
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

TEST_F(CliTerminalTest, OddNamesAreQuotedSoThatEachMessageStaysOneLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dam\377aged\n.sgf", "'games/dam'$'\\377''aged'$'\\n''.sgf'"},
      {"tab\there.sgf", "'games/tab'$'\\t''here.sgf'"},
      {"esc\033[31m.sgf", "'games/esc'$'\\033''[31m.sgf'"},
      {"it's.sgf", "\"games/it's.sgf\""},
      {"two words.sgf", "'games/two words.sgf'"},
      {"Ходы.sgf", "games/Ходы.sgf"},
  };
  fs::create_directories(temp_ / "games");
  for (const auto& [name, shown] : cases) test::WriteBytes(temp_ / "games" / name, kDamaged);

  const Outcome outcome = Run({"-q", "games", "out"});

  EXPECT_EQ(outcome.status, 1);
  for (const auto& [name, shown] : cases) {
    EXPECT_NE(outcome.err.find("varnoket-cli: " + shown + ": no game found\n"), std::string::npos)
        << shown << " in\n"
        << outcome.err;
  }
  EXPECT_EQ(static_cast<std::size_t>(std::count(outcome.err.begin(), outcome.err.end(), '\n')),
            cases.size());
}

TEST_F(CliTerminalTest, PipesSocketsAndDevicesInTheSourceAreFailuresThatNeverBlock) {
  const fs::path games = temp_ / "games";
  fs::create_directories(games);
  test::WriteBytes(games / "a.sgf", kGame);
  ASSERT_EQ(::mkfifo((games / "fifo.sgf").c_str(), 0600), 0);
  fs::create_symlink("fifo.sgf", games / "link.sgf");
  fs::create_symlink("/dev/zero", games / "device.sgf");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (games / "socket.sgf").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  for (const char* jobs : {"-j1", "-j4"}) {
    SCOPED_TRACE(jobs);
    const Outcome outcome = Run({jobs, "-r", "games", "out"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with(
        "varnoket-cli: games/device.sgf: cannot read the file: not a regular file\n"
        "varnoket-cli: games/fifo.sgf: cannot read the file: not a regular file\n"
        "varnoket-cli: games/link.sgf: cannot read the file: not a regular file\n"
        "varnoket-cli: games/socket.sgf: cannot read the file: not a regular file\n"
        "1 file cleaned, 4 failed, "))
        << outcome.err;
    EXPECT_EQ(test::ReadBytes(temp_ / "out" / "a.sgf"), kCleaned);
  }
  ::close(listener);

  // Named as SOURCE, a pipe is read to its end.
  std::thread writer([&] {
    for (int attempt = 0; attempt < 1000; ++attempt) {
      const int fd = ::open((games / "fifo.sgf").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        EXPECT_EQ(::write(fd, kGame, std::strlen(kGame)), static_cast<ssize_t>(std::strlen(kGame)));
        ::close(fd);
        return;
      }
      ::usleep(10000);  // no reader yet
    }
    ADD_FAILURE() << "the pipe was never opened for reading";
  });
  const Outcome outcome = Run({"-q", "games/fifo.sgf", "-"});
  writer.join();
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, kCleaned);
}

TEST_F(CliTerminalTest, FoldersThatCannotBeListedAreFailures) {
  for (const char* folder : {"games/locked", "games/open"}) fs::create_directories(temp_ / folder);
  for (const char* name : {"games/a.sgf", "games/locked/b.sgf", "games/open/c.sgf"}) {
    test::WriteBytes(temp_ / name, kGame);
  }
  ::chmod((temp_ / "games" / "locked").c_str(), 0);
  Outcome outcome = Run({"-r", "games", "out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.err.starts_with(
      "varnoket-cli: games/locked: cannot read the folder: Permission denied\n"
      "2 files cleaned, 1 failed, "))
      << outcome.err;
  EXPECT_EQ(test::ReadBytes(temp_ / "out" / "open" / "c.sgf"), kCleaned);

  ::chmod((temp_ / "games").c_str(), 0300);
  outcome = Run({"games", "out"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(
      outcome.err.starts_with("varnoket-cli: games: cannot read the folder: Permission denied\n"
                              "0 files cleaned, 1 failed, "))
      << outcome.err;
  ::chmod((temp_ / "games").c_str(), 0700);
  ::chmod((temp_ / "games" / "locked").c_str(), 0700);
}

// The name of each folder of a deep tree: 40 of them make a path longer than
// the 4096 bytes a system call takes.
const std::string kLongName(120, 'd');
constexpr int kDeepLevels = 40;

// Opens "root" and then "levels" folders named kLongName, each relative to
// the one before; -1 when one is missing.
int OpenDeep(const fs::path& root, int levels) {
  int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < levels && folder >= 0; ++level) {
    const int next = ::openat(folder, kLongName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(folder);
    folder = next;
  }
  return folder;
}

TEST_F(CliTerminalTest, TreesDeeperThanAPathCanNameAreCleanedWhole) {
  fs::create_directories(temp_ / "games");
  for (int level = 0; level <= kDeepLevels; ++level) {
    const int folder = OpenDeep(temp_ / "games", level);
    ASSERT_GE(folder, 0);
    const int file = ::openat(folder, "g.sgf", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, kGame, std::strlen(kGame)), static_cast<ssize_t>(std::strlen(kGame)));
    ::close(file);
    if (level < kDeepLevels) ::mkdirat(folder, kLongName.c_str(), 0755);
    // A link back up at the bottom must not make the walk go round forever.
    if (level == kDeepLevels) {
      ASSERT_EQ(::symlinkat("../..", folder, "loop"), 0);
    }
    ::close(folder);
  }

  const Outcome outcome = Run({"-r", "-L", "-j3", "games", "out"});

  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.err.starts_with("41 files cleaned, 0 failed, ")) << outcome.err;
  const int bottom = OpenDeep(temp_ / "out", kDeepLevels);
  ASSERT_GE(bottom, 0);
  std::string cleaned(256, '\0');
  const int file = ::openat(bottom, "g.sgf", O_RDONLY);
  cleaned.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(file, cleaned.data(), 256), 0)));
  ::close(file);
  ::close(bottom);
  EXPECT_EQ(cleaned, kCleaned);
}

}  // namespace
}  // namespace varnoket
