// SPDX-License-Identifier: MIT
// Varnoket.exe: cleans a folder of SGF game records into another folder. The
// command line is read only for --help and --version.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "desktop/program_arguments.h"
#include "varnoket/version.h"

namespace {

// Shows "text" (ASCII) where the user who asked for it can read it: on
// standard output when it leads to a file or a pipe, on the console the
// program was started from, or else in a message box.
void ShowText(const std::string& text) {
  DWORD written = 0;
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output != nullptr && output != INVALID_HANDLE_VALUE &&
      GetFileType(output) != FILE_TYPE_UNKNOWN) {
    WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::wstring wide(text.begin(), text.end());
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    if (console != INVALID_HANDLE_VALUE) {
      WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
      CloseHandle(console);
      return;
    }
  }
  MessageBoxW(nullptr, wide.c_str(), L"Varnoket", MB_OK | MB_ICONINFORMATION);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using varnoket::desktop::ProgramAction;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> narrow;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    // Only ASCII options are answered; other characters cannot match them.
    std::string argument;
    for (const wchar_t* c = wide[i]; *c != L'\0'; ++c) {
      argument += *c < 0x80 ? static_cast<char>(*c) : '?';
    }
    narrow.push_back(std::move(argument));
  }
  if (wide != nullptr) LocalFree(wide);
  const std::vector<std::string_view> arguments(narrow.begin(), narrow.end());
  const ProgramAction action = varnoket::desktop::ChooseProgramAction(arguments);
  if (action == ProgramAction::PrintHelp) {
    ShowText(varnoket::desktop::WindowProgramHelp("Varnoket.exe"));
    return 0;
  }
  if (action == ProgramAction::PrintVersion) {
    ShowText(varnoket::VersionText("Varnoket.exe"));
    return 0;
  }
  return varnoket::app::RunProgram(instance, varnoket::app::StartupShowCommand());
}
