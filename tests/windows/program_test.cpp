// The whole program: Varnoket.exe started as a separate process, ended the
// ways a person ends it, and the start-up that fails without its resources.
#include "app/program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "tests/windows/dialog_test_support.h"

namespace varnoket::app {
namespace {

// Varnoket.exe, which the build puts beside this test program.
std::wstring ProgramPath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path.resize(path.find_last_of(L"\\/") + 1);
  return path + L"Varnoket.exe";
}

struct FindState {
  DWORD threadId = 0;
  HWND window = nullptr;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM lParam) {
  auto* state = reinterpret_cast<FindState*>(lParam);
  if (::IsWindowVisible(window) && ::GetDlgItem(window, IDC_SOURCE_FOLDER) != nullptr) {
    state->window = window;
    return FALSE;
  }
  return TRUE;
}

// A running Varnoket.exe; ended by force if a test leaves it running.
class RunningProgram {
 public:
  explicit RunningProgram(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    started_ = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process_) != FALSE;
  }
  ~RunningProgram() {
    if (!started_) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 99);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return started_; }

  // The main dialog once it is on screen, or null after a generous wait.
  HWND WaitForDialog() const {
    FindState state;
    for (int attempt = 0; attempt < 300 && state.window == nullptr; ++attempt) {
      ::EnumThreadWindows(process_.dwThreadId, &FindVisibleWindow,
                          reinterpret_cast<LPARAM>(&state));
      if (state.window == nullptr) ::Sleep(100);
    }
    return state.window;
  }

  // The exit code, or STILL_ACTIVE when it has not ended within the wait.
  DWORD WaitForExit() const {
    ::WaitForSingleObject(process_.hProcess, 20000);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 0);
  ::PostMessageW(window, WM_KEYUP, key, 0);
}

TEST(ProgramTest, EndsWithCodeTwoHoweverThePersonLeavesWithOrWithoutArguments) {
  struct Case {
    const char* what;
    std::wstring arguments;
    void (*leave)(HWND dialog);
  };
  const std::vector<Case> cases = {
      {"Exit", L"", [](HWND d) { ::PostMessageW(::GetDlgItem(d, IDC_EXIT), BM_CLICK, 0, 0); }},
      {"Esc", L"C:\\games D:\\out", [](HWND d) { PostKey(::GetDlgItem(d, IDC_CLEAN), VK_ESCAPE); }},
      {"close button", L"/?", [](HWND d) { ::PostMessageW(d, WM_CLOSE, 0, 0); }},
      {"system menu", L"--help", [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunningProgram program(c.arguments);
    ASSERT_TRUE(program.started()) << test::Utf8(ProgramPath());
    const HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    // The command line is ignored: the fields start empty.
    EXPECT_EQ(test::WindowText(::GetDlgItem(dialog, IDC_SOURCE_FOLDER)), L"");
    EXPECT_EQ(test::WindowText(::GetDlgItem(dialog, IDC_DESTINATION_FOLDER)), L"");
    c.leave(dialog);
    EXPECT_EQ(program.WaitForExit(), 2u);
  }
}

TEST(ProgramTest, WithoutItsDialogTemplateTheProgramReturnsZero) {
  // A module with no dialog 129 among its resources.
  EXPECT_EQ(RunProgram(::GetModuleHandleW(L"kernel32.dll"), SW_SHOWNORMAL), 0);
}

}  // namespace
}  // namespace varnoket::app
