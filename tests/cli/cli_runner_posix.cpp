// SPDX-License-Identifier: MIT
#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/test_support.h"

namespace varnoket::test {

Outcome RunCli(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
               const std::string& input) {
  const std::filesystem::path in = folder / ".stdin";
  const std::filesystem::path out = folder / ".stdout";
  const std::filesystem::path err = folder / ".stderr";
  WriteBytes(in, input);
  const pid_t child = ::fork();
  if (child == 0) {
    const int inFd = ::open(in.c_str(), O_RDONLY);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (inFd < 0 || outFd < 0 || errFd < 0) ::_exit(127);
    ::dup2(inFd, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    // Permissions bind the program as they bind any user, root included,
    // and a run that hangs is ended instead of stopping the tests.
    if (::geteuid() == 0) {
      ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
      ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
    }
    ::alarm(30);
    ExecCli(arguments);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Outcome outcome;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = ReadBytes(out);
  outcome.err = ReadBytes(err);
  return outcome;
}

std::string Native(const std::string& path) { return path; }

void ExecCli(const std::vector<std::string>& arguments) {
  std::string program = VARNOKET_CLI_PATH;
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv = {program.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace varnoket::test
