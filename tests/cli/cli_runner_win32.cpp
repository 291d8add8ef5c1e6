// SPDX-License-Identifier: MIT
#include "tests/cli/cli_runner.h"

#include <windows.h>

#include <algorithm>

#include "platform/path_text.h"
#include "tests/support/test_support.h"

namespace varnoket::test {
namespace {

// varnoket-cli.exe, which the build puts beside this test program.
std::wstring ProgramPath() { return test::BesideThisProgram(L"varnoket-cli.exe"); }

// "argument" as CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE OpenInheritable(const std::filesystem::path& path, bool write) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Outcome RunCli(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
               const std::string& input) {
  // Fresh names for each run: Wine may close an ended child's handles late.
  static int runs = 0;
  const std::string run = std::to_string(++runs);
  const std::filesystem::path in = folder / (".stdin-" + run);
  const std::filesystem::path out = folder / (".stdout-" + run);
  const std::filesystem::path err = folder / (".stderr-" + run);
  WriteBytes(in, input);
  std::wstring commandLine = QuoteArgument(ProgramPath());
  for (const std::string& argument : arguments) {
    commandLine += L" " + QuoteArgument(platform::PathFromUtf8(argument).native());
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = OpenInheritable(in, false);
  startup.hStdOutput = OpenInheritable(out, true);
  startup.hStdError = OpenInheritable(err, true);
  PROCESS_INFORMATION process{};
  Outcome outcome;
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, folder.c_str(), &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) outcome.status = static_cast<int>(code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (const HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
  outcome.out = ReadBytes(out);
  outcome.err = ReadBytes(err);
  return outcome;
}

std::string Native(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

}  // namespace varnoket::test
