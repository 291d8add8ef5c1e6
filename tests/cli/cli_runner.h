// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_CLI_CLI_RUNNER_H_
#define VARNOKET_TESTS_CLI_CLI_RUNNER_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/path_text.h"
#include "tests/support/test_support.h"

namespace varnoket::test {

// What one run of the program left behind.
struct Outcome {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs the built varnoket-cli in "folder" with "arguments" (UTF-8), "input" on
// standard input, and standard output and error going to files, as a script
// runs it.
Outcome RunCli(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
               const std::string& input = "");

// A plain text as the command line's messages quote what the user typed on
// this system: '...' as a POSIX shell reads it, "..." as cmd and PowerShell
// do.
inline std::string Quoted(const std::string& plain) {
#ifdef _WIN32
  return '"' + plain + '"';
#else
  return "'" + plain + "'";
#endif
}

// "path" with "/" as this system writes it ("\" on Windows), as UTF-8.
std::string Native(const std::string& path);

// A temporary folder in which varnoket-cli runs; its files are named in UTF-8
// with "/" between folders.
class CliFolderTest : public ::testing::Test {
 protected:
  Outcome Run(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::filesystem::create_directories(here_);
    return RunCli(here_, arguments, input);
  }
  std::filesystem::path PathOf(const std::string& name) const {
    return here_ / platform::PathFromUtf8(name);
  }
  void Put(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(PathOf(name).parent_path());
    WriteBytes(PathOf(name), bytes);
  }
  void MakeFolder(const std::string& name) const {
    std::filesystem::create_directories(PathOf(name));
  }
  std::string Read(const std::string& name) const { return ReadBytes(PathOf(name)); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }
  std::map<std::string, std::string> Snapshot(const std::string& folder) const {
    return test::Snapshot(PathOf(folder));
  }

  TempFolder temp_;
  std::filesystem::path here_ = temp_.path();  // where the runs run
};

#ifndef _WIN32
// In a child process made by fork(): becomes the built varnoket-cli with
// "arguments", or exits with 127 when it cannot.
[[noreturn]] void ExecCli(const std::vector<std::string>& arguments);
#endif

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_CLI_CLI_RUNNER_H_
