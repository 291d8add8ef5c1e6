// SPDX-License-Identifier: MIT
// The whole program: Varnoket.exe started as a separate process, ended the
// ways a person ends it, and the start-up that fails without its resources.
#include "app/program.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "res/resource_ids.h"
#include "tests/support/test_support.h"
#include "tests/windows/dialog_test_support.h"

namespace varnoket::app {
namespace {

// Varnoket.exe, which the build puts beside this test program.
std::wstring ProgramPath() { return test::BesideThisProgram(L"Varnoket.exe"); }

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
      {"system menu", L"--no-such-option",
       [](HWND d) { ::PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
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

// Varnoket.exe's resource section, read without running the program.
class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExW(ProgramPath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { ::FreeLibrary(module_); }

  // The bytes of one resource, or empty when it is missing.
  std::string_view Bytes(LPCWSTR type, int id, WORD language) const {
    const HRSRC found = ::FindResourceExW(module_, type, MAKEINTRESOURCEW(id), language);
    if (found == nullptr) return std::string_view();
    const HGLOBAL loaded = ::LoadResource(module_, found);
    return std::string_view(static_cast<const char*>(::LockResource(loaded)),
                            ::SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
constexpr WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST_F(ResourcesTest, DialogsAreRussianAndTheIconHasBothSizesInSixteenColours) {
  EXPECT_FALSE(Bytes(RT_DIALOG, IDD_MAIN_DIALOG, kRussian).empty());
  EXPECT_FALSE(Bytes(RT_DIALOG, IDD_ABOUT_BOX, kRussian).empty());

  const std::string_view group = Bytes(RT_GROUP_ICON, IDI_VARNOKET, kNeutral);
  ASSERT_FALSE(group.empty());
  auto* directory = reinterpret_cast<const BYTE*>(group.data());
  for (const int size : {32, 16}) {
    SCOPED_TRACE(size);
    const int icon = ::LookupIconIdFromDirectoryEx(const_cast<BYTE*>(directory), TRUE, size, size,
                                                   LR_DEFAULTCOLOR);
    const std::string_view image = Bytes(RT_ICON, icon, kNeutral);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    EXPECT_EQ(header->biWidth, size);
    EXPECT_EQ(header->biHeight, 2 * size);  // colour and mask
    EXPECT_EQ(header->biBitCount, 4);
  }
}

TEST_F(ResourcesTest, NameManifestAndVersionBlock) {
  wchar_t name[32] = {};
  EXPECT_GT(::LoadStringW(module_, IDS_VARNOKET, name, 32), 0);
  EXPECT_EQ(std::wstring(name), L"Varnoket");

  const std::string manifest(Bytes(RT_MANIFEST, 1, kNeutral));
  for (const char* part : {"name=\"Varnoket\" version=\"1.0.0.0\" processorArchitecture=\"x86\"",
                           "<description>Varnoket Application</description>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }

  const std::string_view version = Bytes(RT_VERSION, 1, kUsEnglish);
  ASSERT_FALSE(version.empty());
  std::string block(version);  // VerQueryValueW may write into its copy
  const auto value = [&block](const wchar_t* key) {
    void* text = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
    if (!::VerQueryValueW(block.data(), path.c_str(), &text, &length) || length == 0) {
      return std::wstring();
    }
    return std::wstring(static_cast<const wchar_t*>(text));
  };
  EXPECT_EQ(value(L"FileVersion"), L"1, 0, 0, 1");
  EXPECT_EQ(value(L"ProductVersion"), L"1, 0, 0, 1");
  EXPECT_EQ(value(L"FileDescription"), L"Varnoket Module");
  EXPECT_EQ(value(L"ProductName"), L"Varnoket Module");
  EXPECT_EQ(value(L"InternalName"), L"Varnoket");
  EXPECT_EQ(value(L"OriginalFilename"), L"Varnoket.exe");
  EXPECT_FALSE(value(L"LegalCopyright").empty());

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  DWORD* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(*translation, MAKELONG(0x0409, 1200));
}

}  // namespace
}  // namespace varnoket::app
