// SPDX-License-Identifier: MIT
// The command line in-process, with standard input and output that fail on
// demand.
#include "cli/command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace varnoket::cli {
namespace {

// Standard streams held in memory; either side can be made to fail.
class FakeStreams : public platform::Streams {
 public:
  // Standard input gives "input" in blocks of "blockSize" bytes, then fails
  // when "inputFails".
  class Input : public platform::ByteSource {
   public:
    explicit Input(const FakeStreams& streams) : streams_(streams) {}
    platform::IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
      *got = std::min({capacity, streams_.blockSize, streams_.input.size() - at_});
      if (*got == 0 && streams_.inputFails) {
        return platform::IoStatus::Error("Input/output error");
      }
      streams_.input.copy(buffer, *got, at_);
      at_ += *got;
      return platform::IoStatus::Ok();
    }

   private:
    const FakeStreams& streams_;
    std::size_t at_ = 0;
  };

  platform::IoStatus OpenStandardInput(std::unique_ptr<platform::ByteSource>* source) override {
    if (inputOutOfMemory) throw std::bad_alloc();
    *source = std::make_unique<Input>(*this);
    return platform::IoStatus::Ok();
  }
  platform::IoStatus WriteStandardOutput(std::string_view bytes) override {
    if (outputFails) return platform::IoStatus::Error("No space left on device");
    output += bytes;
    return platform::IoStatus::Ok();
  }

  std::string input = "(;SZ[9];B[ee])";
  std::size_t blockSize = 1 << 16;
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
