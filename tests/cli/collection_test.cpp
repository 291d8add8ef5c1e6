// SPDX-License-Identifier: MIT
// Files that hold many games, through the built program: the note in the
// default mode, --all-games, --split, and the games that cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/path_text.h"
#include "platform/text_codec.h"
#include "tests/cli/cli_runner.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;

using test::Native;
using test::Outcome;

constexpr const char* kFirst = "(;GM[1]FF[4]PB[Ann];B[aa];W[bb])\n";
constexpr const char* kFirstCleaned = "(;GM[1]FF[4]PB[Ann]\r\n;B[aa]\r\n;W[bb])";
constexpr const char* kThird = "(;GM[1]FF[4]PB[Cid];B[cc])\n";
constexpr const char* kThirdCleaned = "(;GM[1]FF[4]PB[Cid]\r\n;B[cc])";
// Where the second game begins.
constexpr std::size_t kSecondOffset = 33;

// The ways one game in the middle of a collection can be broken.
struct Break {
  const char* what;
  const char* game;
  const char* reason;
};
const std::vector<Break> kBreaks = {
    {"a game that never closes", "(;GM[1]FF[4]PB[Bob];B[dd]\n", "the game record is cut short"},
    {"a first node that never closes", "(;GM[1]FF[4]PB[Bob]\n", "the game record is cut short"},
    {"a property without a value", "(;GM[1]FF[4]PB[Bob];B;W[dd])\n", "no game found"},
    {"garbage that opens a game", "(;%% not a game %%)\n", "no game found"},
};

std::string Collection(const Break& broken) { return std::string(kFirst) + broken.game + kThird; }

using CollectionTest = test::CliFolderTest;

TEST_F(CollectionTest, ABrokenGameCostsOnlyItself) {
  for (const Break& broken : kBreaks) {
    SCOPED_TRACE(broken.what);
    const Outcome outcome = Run({"--all-games", "-", "-"}, Collection(broken));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, std::string(kFirstCleaned) + "\r\n" + kThirdCleaned);
    EXPECT_TRUE(outcome.err.starts_with("varnoket-cli: standard input: game 2 at byte " +
                                        std::to_string(kSecondOffset) + ": " + broken.reason +
                                        "\n"))
        << outcome.err;
  }
}

TEST_F(CollectionTest, SplitNumbersGamesByTheirPlaceAndSkipsABrokenOne) {
  for (const Break& broken : kBreaks) {
    SCOPED_TRACE(broken.what);
    Put("in/coll.sgf", Collection(broken));
    Put("in/one.sgf", kFirst);
    fs::remove_all(temp_ / "out");

    const Outcome outcome = Run({"-q", "--split", "in", "out"});

    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varnoket-cli: " + Native("in/coll.sgf") + ": game 2 at byte " +
                               std::to_string(kSecondOffset) + ": " + broken.reason + "\n");
    EXPECT_EQ(Read("out/coll-0001.sgf"), kFirstCleaned);
    EXPECT_FALSE(Exists("out/coll-0002.sgf"));
    EXPECT_EQ(Read("out/coll-0003.sgf"), kThirdCleaned);
    EXPECT_FALSE(Exists("out/coll.sgf"));
    EXPECT_EQ(Read("out/one.sgf"), kFirstCleaned) << "a file of one game keeps its name";
  }
}

TEST_F(CollectionTest, SplitWorksFromStandardInputAndSubfolders) {
  const std::string collection = std::string(kFirst) + kThird;
  Outcome outcome = Run({"--split", "-", "games.sgf"}, collection);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read("games-0001.sgf"), kFirstCleaned);
  EXPECT_EQ(Read("games-0002.sgf"), kThirdCleaned);

  Put("in/deep/coll.sgf", collection);
  outcome = Run({"-q", "-r", "--split", "in", "out"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(Read("out/deep/coll-0001.sgf"), kFirstCleaned);
  EXPECT_EQ(Read("out/deep/coll-0002.sgf"), kThirdCleaned);
}

TEST_F(CollectionTest, DefaultModeKeepsTheFirstGameAndSaysWhatItLeft) {
  struct Case {
    std::string source;
    std::string note;  // after the file's name
  };
  const std::vector<Case> cases = {
      {std::string(kFirst) + kThird,
       ": 1 more game not kept (--all-games or --split keeps them)\n"},
      {Collection(kBreaks[0]), ": 2 more games not kept (--all-games or --split keeps them)\n"},
      {kFirst, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    Put("coll.sgf", c.source);
    const Outcome outcome = Run({"coll.sgf", "clean.sgf"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(Read("clean.sgf"), kFirstCleaned);
    const std::string firstLine = outcome.err.substr(0, outcome.err.find('\n') + 1);
    if (c.note.empty()) {
      EXPECT_TRUE(firstLine.starts_with("1 file cleaned, 0 failed")) << outcome.err;
    } else {
      EXPECT_EQ(firstLine, "coll.sgf" + c.note);
    }
  }
}

TEST_F(CollectionTest, AllGamesKeepsEachGameInItsOwnCharset) {
  const std::string source =
      "(;GM[1]FF[4]CA[UTF-8]PB[\xC3\xA9];B[aa])\n"
      "(;GM[1]FF[4]CA[Shift_JIS]PB[\x94\x5C];B[bb])\n"
      "(;GM[1]FF[4]PB[\xE9];B[cc])\n";
  const Outcome outcome = Run({"--all-games", "--charset", "windows-1252", "-", "-"}, source);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "(;GM[1]FF[4]CA[UTF-8]PB[\xC3\xA9]\r\n;B[aa])\r\n"
            "(;GM[1]FF[4]CA[Shift_JIS]PB[\x94\x5C]\r\n;B[bb])\r\n"
            "(;GM[1]FF[4]CA[windows-1252]PB[\xE9]\r\n;B[cc])");
}

// A collection of many batches in a folder is cleaned by several threads,
// and comes out as one thread cleans it.
TEST_F(CollectionTest, AFolderRunGivesTheSameGamesForEveryNumberOfJobs) {
  // 600 KB: more than two batches of games.
  const std::string comment = "C[" + std::string(600, 'x') + "]";
  std::string collection;
  for (int i = 1; i <= 1000; ++i) {
    collection += i == 700 ? kBreaks[0].game : "(;GM[1]FF[4]PB[Ann]" + comment + ";B[aa];W[bb])\n";
  }
  Put("in/coll.sgf", collection);
  Put("in/one.sgf", kFirst);
  ASSERT_EQ(Run({"-q", "-j", "1", "--all-games", "in", "one-job"}).status, 1);
  ASSERT_EQ(Run({"-q", "-j", "4", "--all-games", "in", "four-jobs"}).status, 1);
  EXPECT_EQ(Read("four-jobs/coll.sgf"), Read("one-job/coll.sgf"));
  EXPECT_EQ(Read("four-jobs/one.sgf"), kFirstCleaned);
  ASSERT_EQ(Run({"-q", "-j", "4", "--split", "in", "split"}).status, 1);
  EXPECT_EQ(Read("split/coll-0001.sgf"), kFirstCleaned);
  EXPECT_EQ(Read("split/coll-1000.sgf"), kFirstCleaned);
  EXPECT_FALSE(Exists("split/coll-0700.sgf")) << "the broken game";
}

// A game that names no charset is cut as it is read: on a Japanese or
// Chinese Windows a second byte "\\" inside a value does not end it.
TEST_F(CollectionTest, GamesAreCutAsTheSystemCodePageReadsThem) {
  const std::string source = "(;GM[1]PB[\x83\\];B[aa])\n(;GM[1]PB[y];B[bb])\n";
  const unsigned codePage = platform::SystemCodePage();
  const std::string charset = codePage == 932 ? "CA[Shift_JIS]" : codePage == 936 ? "CA[GBK]" : "";
  const std::string expected =
      charset.empty()
          ? "(;GM[1]FF[4]PB[\x83\\];B[aa])\r\n(;GM[1]FF[4]PB[y]\r\n;B[bb])"
          : "(;GM[1]FF[4]" + charset + "PB[\x83\\]\r\n;B[aa])\r\n(;GM[1]FF[4]PB[y]\r\n;B[bb])";
  SCOPED_TRACE(codePage);
  const Outcome outcome = Run({"--all-games", "-", "-"}, source);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, expected);
}

}  // namespace
}  // namespace varnoket
