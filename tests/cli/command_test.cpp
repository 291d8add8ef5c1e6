// SPDX-License-Identifier: MIT
// The command line in-process, with standard input and output that fail on
// demand.
#include "cli/command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace varnoket::cli {
namespace {

// Standard streams held in memory; either side can be made to fail.
class FakeStreams : public platform::Streams {
 public:
  platform::IoStatus ReadStandardInput(std::string* bytes) override {
    if (inputOutOfMemory) throw std::bad_alloc();
    if (inputFails) return platform::IoStatus::Error("Input/output error");
    *bytes = input;
    return platform::IoStatus::Ok();
  }
  platform::IoStatus WriteStandardOutput(std::string_view bytes) override {
    if (outputFails) return platform::IoStatus::Error("No space left on device");
    output += bytes;
    return platform::IoStatus::Ok();
  }

  std::string input = "(;SZ[9];B[ee])";
  bool inputFails = false;
  bool inputOutOfMemory = false;
  bool outputFails = false;
  std::string output;
};

TEST(CommandTest, FailedStandardStreamsAreReportedAndExitWithOne) {
  struct Case {
    std::vector<std::string> arguments;
    bool inputFails;
    bool inputOutOfMemory;
    bool outputFails;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"-q", "-", "-"},
       true,
       false,
       false,
       "varnoket-cli: standard input: cannot read the file: Input/output error\n"},
      {{"-q", "-", "-"}, false, true, false, "varnoket-cli: standard input: not enough memory\n"},
      {{"-q", "-", "-"},
       false,
       false,
       true,
       "varnoket-cli: standard output: cannot write the file: No space left on device\n"},
      {{"--help"}, false, false, true, ""},
      {{"--version"}, false, false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front() + ": " + c.err);
    FakeStreams streams;
    streams.inputFails = c.inputFails;
    streams.inputOutOfMemory = c.inputOutOfMemory;
    streams.outputFails = c.outputFails;
    std::FILE* err = std::tmpfile();
    ASSERT_NE(err, nullptr);
    Console console;
    console.streams = &streams;
    console.err = err;

    EXPECT_EQ(Main(c.arguments, console), 1);

    std::rewind(err);
    std::string written(4096, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), err));
    std::fclose(err);
    EXPECT_EQ(written, c.err);
    EXPECT_EQ(streams.output, "");
  }
}

}  // namespace
}  // namespace varnoket::cli
