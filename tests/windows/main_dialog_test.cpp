// SPDX-License-Identifier: MIT
// The real main dialog, created from the program's resources and driven
// through window messages on the program's own message loop. Message boxes
// and the folder chooser go to a FakeDialogHost.
#include "app/main_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/about_dialog.h"
#include "app/window_placement.h"
#include "res/resource_ids.h"
#include "tests/support/gated_file_system.h"
#include "tests/support/test_support.h"
#include "tests/windows/dialog_test_support.h"

namespace varnoket::app {
namespace {

namespace fs = std::filesystem;
using test::FakeDialogHost;
using test::Utf8;
using test::Wide;
using test::WindowText;

// Quit codes that tell the loop's own ends apart from the dialog's.
constexpr int kDrained = 1000;
constexpr int kTimedOut = 1001;

void CALLBACK QuitOnTimeout(HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(kTimedOut); }

// Public throughout, so that the tables of actions below can use it.
class MainDialogTest : public ::testing::Test {
 public:
  void SetUp() override {
    instance_ = ::GetModuleHandleW(nullptr);
    OpenDialog();
  }

  void TearDown() override {
    gate_.Open();  // a failed test leaves no run waiting
    dialog_.reset();
    // Nothing of one test may reach the next, a pending quit included.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // A fresh dialog, shown as the program shows it; its runs read files
  // through "fileSystem" (null: the real disk).
  void OpenDialog(platform::FileSystem* fileSystem = nullptr) {
    dialog_.reset();
    host_ = FakeDialogHost();
    dialog_ = std::make_unique<MainDialog>(&host_, fileSystem);
    ASSERT_TRUE(dialog_->Create(instance_));
    window_ = dialog_->window();
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::SetForegroundWindow(window_);
    Pump();
  }

  // A message loop as the program runs it, the dialog's keys first, until a
  // quit message arrives; returns its code. "idle", when given, is called
  // whenever the queue has run empty.
  int RunLoop(const std::function<void()>& idle = {}) {
    MSG message{};
    for (;;) {
      if (idle && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) idle();
      const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
      if (got == 0) return static_cast<int>(message.wParam);
      if (got == -1 || (dialog_ != nullptr && dialog_->HandleDialogKey(&message))) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  // Lets the loop handle everything queued so far.
  void Pump() {
    ::PostQuitMessage(kDrained);
    ASSERT_EQ(RunLoop(), kDrained);
  }

  // Runs the loop until it has nothing left to do and "done" holds, or for
  // at most a few seconds. The runs' threads post to the loop, which wakes
  // it.
  void RunUntil(const std::function<bool()>& done) {
    bool quit = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10000, &QuitOnTimeout);
    const int code = RunLoop([&] {
      if (!quit && done()) {
        quit = true;
        ::PostQuitMessage(kDrained);
      }
    });
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(code, kDrained);
  }

  // Runs the loop until it quits, for at most a few seconds.
  int RunUntilQuit() {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 5000, &QuitOnTimeout);
    const int code = RunLoop();
    ::KillTimer(nullptr, timer);
    return code;
  }

  HWND Item(int id) const { return ::GetDlgItem(window_, id); }

  // A key as the keyboard delivers it: to the control with the focus.
  void PostKey(WPARAM key) const {
    HWND target = ::GetFocus();
    if (target == nullptr) target = window_;
    ::PostMessageW(target, WM_KEYDOWN, key, 0);
    ::PostMessageW(target, WM_KEYUP, key, 0);
  }

  void Command(int id, int notification) const {
    ::SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, notification),
                   reinterpret_cast<LPARAM>(Item(id)));
  }

  void SetFields(const std::wstring& source, const std::wstring& destination) const {
    ::SetWindowTextW(Item(IDC_SOURCE_FOLDER), source.c_str());
    ::SetWindowTextW(Item(IDC_DESTINATION_FOLDER), destination.c_str());
  }

  // Presses Clean and returns the one message it showed.
  FakeDialogHost::Message Clean() {
    host_.messages.clear();
    ::SendMessageW(Item(IDC_CLEAN), BM_CLICK, 0, 0);
    RunUntil([this] { return !host_.messages.empty(); });
    EXPECT_EQ(host_.messages.size(), 1u);
    return host_.messages.empty() ? FakeDialogHost::Message{} : host_.messages.back();
  }

  HINSTANCE instance_ = nullptr;
  test::GatedFileSystem gate_;
  FakeDialogHost host_;
  std::unique_ptr<MainDialog> dialog_;
  HWND window_ = nullptr;
};

// A rectangle given in dialog units, in the dialog's client pixels.
RECT DialogRect(HWND dialog, int x, int y, int width, int height) {
  RECT rect{x, y, x + width, y + height};
  ::MapDialogRect(dialog, &rect);
  return rect;
}

RECT ClientRectOf(HWND control) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return Utf8(name);
}

// One control of a dialog template, in template order.
struct ExpectedControl {
  int id;  // -1 for none
  std::string className;
  std::string text;
  int x, y, width, height;
  LONG style;  // bits that must be set, beyond WS_CHILD | WS_VISIBLE
};

// Checks the children of "dialog" against "expected": the same order, ids,
// classes, texts, positions and sizes (in dialog units) and style bits.
void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& expected) {
  HWND child = ::GetWindow(dialog, GW_CHILD);
  for (const ExpectedControl& control : expected) {
    SCOPED_TRACE(control.text + " (" + std::to_string(control.id) + ")");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(static_cast<WORD>(::GetDlgCtrlID(child)), static_cast<WORD>(control.id));
    EXPECT_EQ(ClassOf(child), control.className);
    const bool isIcon = control.className == "Static" && (control.style & SS_TYPEMASK) == SS_ICON;
    if (!isIcon) {
      EXPECT_EQ(Utf8(WindowText(child)), control.text);
    }
    // The dialog manager converts position and size separately.
    const RECT corner = DialogRect(dialog, control.x, control.y, 0, 0);
    const RECT size = DialogRect(dialog, 0, 0, control.width, control.height);
    const RECT actual = ClientRectOf(child);
    EXPECT_EQ(actual.left, corner.left);
    EXPECT_EQ(actual.top, corner.top);
    if (!isIcon) {
      // A static icon sizes itself to its icon.
      EXPECT_EQ(actual.right - actual.left, size.right);
      EXPECT_EQ(actual.bottom - actual.top, size.bottom);
    }
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    // The dialog manager draws an edit's border as a sunken client edge.
    if ((::GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0) style |= WS_BORDER;
    EXPECT_EQ(style & control.style, control.style) << std::hex << style;
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than expected";
}

TEST_F(MainDialogTest, TemplateGivesTheCaptionLayoutAndStyles) {
  EXPECT_EQ(Utf8(WindowText(window_)), "Очистка SGF-файла от лишнего (остается только игра)");

  const LONG style = ::GetWindowLongW(window_, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0);

  RECT client{};
  ::GetClientRect(window_, &client);
  const RECT expected = DialogRect(window_, 0, 0, 297, 98);
  EXPECT_EQ(client.right, expected.right);
  EXPECT_EQ(client.bottom, expected.bottom);

  constexpr LONG kEdit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
  ExpectControls(window_,
                 {
                     {1, "Button", "Очистить", 7, 77, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
                     {2, "Button", "Выход", 65, 77, 50, 14, WS_TABSTOP},
                     {57664, "Button", "О программе...", 230, 77, 60, 14, WS_TABSTOP},
                     {1000, "Edit", "", 7, 17, 265, 14, kEdit},
                     {1001, "Edit", "", 7, 50, 265, 14, kEdit},
                     {-1, "Static", "Дирректория с исходными файлами:", 7, 7, 127, 8, WS_GROUP},
                     {-1, "Static", "Дирректория для результата:", 7, 38, 106, 8, WS_GROUP},
                     {1002, "Button", "...", 276, 17, 14, 14, WS_TABSTOP},
                     {1003, "Button", "...", 276, 50, 14, 14, WS_TABSTOP},
                 });
  for (const int id : {IDC_SOURCE_FOLDER, IDC_DESTINATION_FOLDER}) {
    EXPECT_EQ(::GetWindowLongW(Item(id), GWL_STYLE) & ES_READONLY, 0) << "editable";
  }
}

TEST_F(MainDialogTest, TabVisitsTheControlsInTemplateOrder) {
  const std::vector<int> order = {IDC_CLEAN,
                                  IDC_EXIT,
                                  IDC_ABOUT,
                                  IDC_SOURCE_FOLDER,
                                  IDC_DESTINATION_FOLDER,
                                  IDC_BROWSE_SOURCE,
                                  IDC_BROWSE_DESTINATION,
                                  IDC_CLEAN};
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    SCOPED_TRACE(order[i]);
    EXPECT_EQ(::GetNextDlgTabItem(window_, Item(order[i]), FALSE), Item(order[i + 1]));
  }
}

TEST_F(MainDialogTest, StartsCentredWithEmptyFieldsBothIconsAndCleanFocused) {
  EXPECT_EQ(WindowText(Item(IDC_SOURCE_FOLDER)), L"");
  EXPECT_EQ(WindowText(Item(IDC_DESTINATION_FOLDER)), L"");
  EXPECT_EQ(::GetFocus(), Item(IDC_CLEAN));
  EXPECT_NE(::SendMessageW(window_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(::SendMessageW(window_, WM_GETICON, ICON_SMALL, 0), 0);

  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT rect{};
  ::GetWindowRect(window_, &rect);
  EXPECT_NEAR(rect.left - area.left, area.right - rect.right, 1);
  EXPECT_NEAR(rect.top - area.top, area.bottom - rect.bottom, 1);
}

TEST_F(MainDialogTest, EnterPressesCleanWhichAsksForTheSourceFolderFirst) {
  PostKey(VK_RETURN);
  RunUntil([this] { return !host_.messages.empty(); });
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(Utf8(host_.messages[0].text), "Укажите папку с исходными файлами.");
  EXPECT_EQ(host_.messages[0].caption, L"Varnoket");
  EXPECT_EQ(host_.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  EXPECT_EQ(host_.owners[0], window_);
  EXPECT_EQ(::GetFocus(), Item(IDC_SOURCE_FOLDER));
}

TEST_F(MainDialogTest, EscCloseAndExitEachQuitWithCodeTwo) {
  struct Case {
    const char* what;
    void (*act)(MainDialogTest& test);
  };
  const std::vector<Case> cases = {
      {"Esc", [](MainDialogTest& t) { t.PostKey(VK_ESCAPE); }},
      {"Exit button", [](MainDialogTest& t) { ::PostMessageW(t.Item(IDC_EXIT), BM_CLICK, 0, 0); }},
      {"Exit with another notification code",
       [](MainDialogTest& t) {
         ::PostMessageW(t.window_, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_SETFOCUS), 0);
       }},
      {"close button", [](MainDialogTest& t) { ::PostMessageW(t.window_, WM_CLOSE, 0, 0); }},
      {"system menu Close",
       [](MainDialogTest& t) { ::PostMessageW(t.window_, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenDialog();
    c.act(*this);
    EXPECT_EQ(RunUntilQuit(), 2);
    EXPECT_EQ(dialog_->window(), nullptr);
    EXPECT_FALSE(::IsWindow(window_));
    EXPECT_TRUE(host_.messages.empty());
  }
}

// The browse buttons react to the click notification only; a chosen folder
// replaces the field, any other answer leaves it.
TEST_F(MainDialogTest, ChosenFolderReplacesTheFieldAndAnyOtherAnswerLeavesIt) {
  struct Case {
    int button;
    int field;
    int answer;
    std::wstring expected;
  };
  const std::wstring chosen = L"C:\\Партии\\2024";
  const std::vector<Case> cases = {
      {IDC_BROWSE_SOURCE, IDC_SOURCE_FOLDER, FolderChooser::kChosen, chosen},
      {IDC_BROWSE_DESTINATION, IDC_DESTINATION_FOLDER, FolderChooser::kChosen, chosen},
      {IDC_BROWSE_SOURCE, IDC_SOURCE_FOLDER, FolderChooser::kCancelled, L"typed"},
      {IDC_BROWSE_DESTINATION, IDC_DESTINATION_FOLDER, FolderChooser::kCancelled, L"typed"},
      {IDC_BROWSE_SOURCE, IDC_SOURCE_FOLDER, FolderChooser::kNoFileSystemPath, L"typed"},
      {IDC_BROWSE_DESTINATION, IDC_DESTINATION_FOLDER, FolderChooser::kNoFileSystemPath, L"typed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.button) + " answered " + std::to_string(c.answer));
    SetFields(L"typed", L"typed");
    host_.chooserResult = c.answer;
    host_.chosenFolder = chosen;
    host_.chooserCalls = 0;
    for (const int notification : {BN_SETFOCUS, BN_KILLFOCUS, BN_DBLCLK, 1234}) {
      Command(c.button, notification);
    }
    EXPECT_EQ(host_.chooserCalls, 0);
    ::SendMessageW(Item(c.button), BM_CLICK, 0, 0);
    EXPECT_EQ(host_.chooserCalls, 1);
    EXPECT_EQ(WindowText(Item(c.field)), c.expected);
    const int other = c.field == IDC_SOURCE_FOLDER ? IDC_DESTINATION_FOLDER : IDC_SOURCE_FOLDER;
    EXPECT_EQ(WindowText(Item(other)), L"typed");
  }
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(MainDialogTest, CleanReactsToAnyNotificationCode) {
  for (const int notification : {BN_CLICKED, BN_SETFOCUS, 1234}) {
    SCOPED_TRACE(notification);
    host_.messages.clear();
    Command(IDC_CLEAN, notification);
    RunUntil([this] { return !host_.messages.empty(); });
    EXPECT_EQ(host_.messages.size(), 1u);
  }
}

// The games the runs below clean.
constexpr const char* kGame = "(;GM[1]FF[4]SZ[9]C[comment];B[aa];W[bb])";
constexpr const char* kGameCleaned = "(;GM[1]FF[4]SZ[9]\r\n;B[aa]\r\n;W[bb])";
constexpr const char* kNoGame = "no game in here";

class CleanTest : public MainDialogTest {
 protected:
  std::wstring Text(const fs::path& path) const { return path.wstring(); }

  // A dialog whose run waits at the gate, with "games" games to clean and
  // the first of them done.
  void StartGatedRun(int games) {
    OpenDialog(&gate_);
    fs::create_directories(source_);
    fs::create_directories(destination_);
    for (int i = 0; i < games; ++i) {
      test::WriteBytes(source_ / (std::to_string(i) + ".sgf"), kGame);
    }
    SetFields(Text(source_), Text(destination_));
    ::SendMessageW(Item(IDC_CLEAN), BM_CLICK, 0, 0);
    gate_.Allow(1);
    const std::string caption = "Очистка… 1 из " + std::to_string(games);
    RunUntil([&] { return Utf8(WindowText(window_)) == caption; });
  }

  test::TempFolder temp_;
  fs::path source_ = temp_ / "games";
  fs::path destination_ = temp_ / "clean";
};

TEST_F(CleanTest, WarnsAboutTheFoldersAndFocusesTheFieldConcerned) {
  fs::create_directories(source_);
  fs::create_directories(destination_);
  const std::wstring missing = Text(temp_ / "нет такой");
  struct Case {
    const char* what;
    std::wstring source;
    std::wstring destination;
    std::string text;
    int focus;
  };
  const std::vector<Case> cases = {
      {"both empty", L"", L"", "Укажите папку с исходными файлами.", IDC_SOURCE_FOLDER},
      {"destination empty", Text(source_), L"", "Укажите папку для результата.",
       IDC_DESTINATION_FOLDER},
      {"source missing", missing, Text(destination_),
       "Папка с исходными файлами не найдена:\n" + Utf8(missing), IDC_SOURCE_FOLDER},
      {"destination missing", Text(source_), missing,
       "Папка для результата не найдена:\n" + Utf8(missing), IDC_DESTINATION_FOLDER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::SetFocus(Item(IDC_CLEAN));
    SetFields(c.source, c.destination);
    const FakeDialogHost::Message message = Clean();
    EXPECT_EQ(Utf8(message.text), c.text);
    EXPECT_EQ(message.caption, L"Varnoket");
    EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(::GetFocus(), Item(c.focus));
  }
  EXPECT_FALSE(fs::exists(temp_ / "нет такой")) << "a missing folder is never created";
}

TEST_F(CleanTest, LongFolderTextsAreTakenWhole) {
  // Longer than a 256-character buffer would hold.
  const std::wstring missing = Text(temp_.path()) + L"\\" + std::wstring(300, L'я');
  SetFields(missing, Text(temp_.path()));
  const FakeDialogHost::Message message = Clean();
  EXPECT_EQ(Utf8(message.text), "Папка с исходными файлами не найдена:\n" + Utf8(missing));
}

TEST_F(CleanTest, EveryFileCleanedIsCounted) {
  fs::create_directories(source_);
  fs::create_directories(destination_);
  test::WriteBytes(source_ / "a.sgf", kGame);
  test::WriteBytes(source_ / fs::path(L"партия.SGF"), kGame);
  test::WriteBytes(source_ / "notes.txt", kGame);
  // The source as Explorer's "Copy as path" gives it, pasted with a space.
  SetFields(L" \"" + Text(source_) + L"\"", Text(destination_));

  const FakeDialogHost::Message message = Clean();
  EXPECT_EQ(Utf8(message.text), "Очистка завершена.\n\nОчищено файлов: 2.");
  EXPECT_EQ(message.caption, L"Varnoket");
  EXPECT_EQ(message.type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(test::ReadBytes(destination_ / "a.sgf"), kGameCleaned);
  EXPECT_EQ(test::ReadBytes(destination_ / fs::path(L"партия.SGF")), kGameCleaned);
  EXPECT_FALSE(fs::exists(destination_ / "notes.txt"));
}

TEST_F(CleanTest, TheWindowPaintsAndCountsWhileTheRunGoesOn) {
  StartGatedRun(3);
  // The frame stays enabled, so that it can be closed; of the controls only
  // Exit is.
  EXPECT_TRUE(::IsWindowEnabled(window_));
  for (const int id : {IDC_CLEAN, IDC_ABOUT, IDC_SOURCE_FOLDER, IDC_DESTINATION_FOLDER,
                       IDC_BROWSE_SOURCE, IDC_BROWSE_DESTINATION}) {
    EXPECT_FALSE(::IsWindowEnabled(Item(id))) << id;
  }
  EXPECT_TRUE(::IsWindowEnabled(Item(IDC_EXIT)));
  // The wait cursor over the window, its fields included.
  for (const HWND target : {window_, Item(IDC_SOURCE_FOLDER)}) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    ::SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_WAIT));
  }
  // Keys do nothing: Esc closes nothing, Enter starts nothing.
  PostKey(VK_ESCAPE);
  PostKey(VK_RETURN);
  ::InvalidateRect(window_, nullptr, TRUE);
  RunUntil([this] { return ::GetUpdateRect(window_, nullptr, FALSE) == FALSE; });
  EXPECT_TRUE(host_.messages.empty());

  gate_.Open();
  RunUntil([this] { return !host_.messages.empty(); });
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(Utf8(host_.messages[0].text), "Очистка завершена.\n\nОчищено файлов: 3.");
  EXPECT_EQ(host_.messages[0].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(Utf8(WindowText(window_)), "Очистка SGF-файла от лишнего (остается только игра)");
  for (const int id : {IDC_CLEAN, IDC_ABOUT, IDC_SOURCE_FOLDER, IDC_DESTINATION_FOLDER,
                       IDC_BROWSE_SOURCE, IDC_BROWSE_DESTINATION}) {
    EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
  }
  EXPECT_EQ(::GetFocus(), Item(IDC_CLEAN));
}

TEST_F(CleanTest, EveryWayOfClosingDuringARunStopsItThenClosesTheWindow) {
  struct Case {
    const char* what;
    void (*close)(CleanTest& test);
  };
  const std::vector<Case> cases = {
      // The close box and the system menu's Close send this.
      {"close box", [](CleanTest& t) { ::PostMessageW(t.window_, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4",
       [](CleanTest& t) {
         HWND target = ::GetFocus();
         if (target == nullptr) target = t.window_;
         ::PostMessageW(target, WM_SYSKEYDOWN, VK_F4, LPARAM{1} << 29);  // Alt held
       }},
      {"Exit", [](CleanTest& t) { ::PostMessageW(t.Item(IDC_EXIT), BM_CLICK, 0, 0); }},
      {"WM_CLOSE from another program",
       [](CleanTest& t) { ::PostMessageW(t.window_, WM_CLOSE, 0, 0); }},
  };
  // More games than the run can have in hand: one per hardware thread.
  const int workers = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int games = workers + 3;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(destination_);
    StartGatedRun(games);
    c.close(*this);
    ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_CLEAN, BN_CLICKED), 0);
    // The files in hand go on, and the caption counts them. Progress reaches
    // the window at most ten times a second: the first file's is past.
    ::Sleep(150);
    gate_.Allow(1);
    const std::string caption = "Очистка… 2 из " + std::to_string(games);
    RunUntil([&] { return Utf8(WindowText(window_)) == caption; });
    EXPECT_TRUE(::IsWindow(window_)) << "the window stays until the run has stopped";

    gate_.Open();
    EXPECT_EQ(RunUntilQuit(), 2);
    EXPECT_FALSE(::IsWindow(window_));
    EXPECT_TRUE(host_.messages.empty());
    // The two let through, and at most one more in hand per worker, each
    // written whole.
    int written = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(destination_)) {
      EXPECT_EQ(test::ReadBytes(entry.path()), kGameCleaned) << entry.path();
      ++written;
    }
    EXPECT_LE(written, 2 + workers);
    gate_.Close();
  }
}

TEST_F(CleanTest, FailuresAreListedByNameWithTheirReason) {
  fs::create_directories(source_);
  fs::create_directories(destination_);
  test::WriteBytes(source_ / "good.sgf", kGame);
  test::WriteBytes(source_ / fs::path(L"битая.sgf"), kNoGame);
  test::WriteBytes(source_ / fs::path(L"оборвана.sgf"), "(;GM[1];B[aa];W[b");
  SetFields(Text(source_), Text(destination_));

  const FakeDialogHost::Message message = Clean();
  EXPECT_EQ(Utf8(message.text),
            "Очистка завершена.\n\nОчищено файлов: 1 из 3.\nНе удалось очистить:\n"
            "битая.sgf — в файле нет игры\n"
            "оборвана.sgf — запись игры оборвана");
  EXPECT_EQ(message.type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(fs::exists(destination_ / "good.sgf"));
  EXPECT_FALSE(fs::exists(destination_ / fs::path(L"битая.sgf")));
  EXPECT_FALSE(fs::exists(destination_ / fs::path(L"оборвана.sgf")));
}

TEST_F(CleanTest, BareDriveAsDestinationMeansTheDrivesRootFolder) {
  fs::create_directories(source_);
  const fs::path name = temp_.path().filename().wstring() + L".sgf";  // unique
  test::WriteBytes(source_ / name, kGame);
  const fs::path inRoot = temp_.path().root_path() / name;
  // With the current folder of the drive inside the temporary folder, "C:"
  // alone would name that folder.
  const fs::path saved = fs::current_path();
  fs::current_path(temp_.path());
  SetFields(Text(source_), temp_.path().root_name().wstring());

  const FakeDialogHost::Message message = Clean();

  fs::current_path(saved);
  EXPECT_EQ(Utf8(message.text), "Очистка завершена.\n\nОчищено файлов: 1.");
  EXPECT_EQ(test::ReadBytes(inRoot), kGameCleaned);
  EXPECT_FALSE(fs::exists(temp_ / name));
  fs::remove(inRoot);
}

// Drives a modal About box from a timer, which fires inside its modal loop:
// records where the box is, then closes it the way the test asks.
struct AboutProbe {
  HWND mainWindow = nullptr;
  void (*close)(HWND about) = nullptr;
  HWND about = nullptr;
  RECT aboutRect{};
  RECT mainRect{};
  bool mainEnabled = true;
  std::string caption;
  std::string text;
  bool hasIcon = false;
  bool captionIcon = false;  // the program's, in the caption
  bool checkLayout = false;  // also compare the box with its template
  int ticks = 0;
};
AboutProbe probe;

BOOL CALLBACK FindAbout(HWND window, LPARAM) {
  if (::GetWindow(window, GW_OWNER) == probe.mainWindow && ::IsWindowVisible(window) &&
      window != probe.mainWindow) {
    probe.about = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ReadStatics(HWND child, LPARAM) {
  if (ClassOf(child) != "Static") return TRUE;
  const LONG type = ::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
  if (type == SS_ICON) {
    probe.hasIcon = ::SendMessageW(child, STM_GETICON, 0, 0) != 0;
  } else {
    probe.text = Utf8(WindowText(child));
  }
  return TRUE;
}

void ExpectAboutLayout(HWND about) {
  const auto style = static_cast<DWORD>(::GetWindowLongW(about, GWL_STYLE));
  const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(style & frame, frame);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  EXPECT_NE(::GetWindowLongW(about, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
  RECT client{};
  ::GetClientRect(about, &client);
  const RECT expected = DialogRect(about, 0, 0, 187, 102);
  EXPECT_EQ(client.right, expected.right);
  EXPECT_EQ(client.bottom, expected.bottom);
  ExpectControls(about, {
                            {1, "Button", "OK", 130, 81, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
                            {-1, "Static", "Varnoket v1.0\n\n© Разработчики Varnoket", 7, 57, 114,
                             32, SS_CENTER},
                            {-1, "Static", "", 55, 26, 20, 20, SS_ICON},
                            {-1, "Button", "", 7, 7, 115, 88, BS_GROUPBOX},
                        });
}

void CALLBACK InspectAbout(HWND, UINT, UINT_PTR timer, DWORD) {
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindAbout, 0);
  if (probe.about == nullptr && ++probe.ticks < 100) return;
  ::KillTimer(nullptr, timer);
  if (probe.about == nullptr) return;
  ::GetWindowRect(probe.about, &probe.aboutRect);
  ::GetWindowRect(probe.mainWindow, &probe.mainRect);
  probe.mainEnabled = ::IsWindowEnabled(probe.mainWindow) != FALSE;
  probe.caption = Utf8(WindowText(probe.about));
  probe.captionIcon = ::SendMessageW(probe.about, WM_GETICON, ICON_SMALL, 0) ==
                      ::SendMessageW(probe.mainWindow, WM_GETICON, ICON_SMALL, 0);
  ::EnumChildWindows(probe.about, &ReadStatics, 0);
  if (probe.checkLayout) ExpectAboutLayout(probe.about);
  probe.close(probe.about);
}

void PostKeyTo(HWND about, WPARAM key) {
  HWND target = ::GetFocus();
  if (target == nullptr || !::IsChild(about, target)) target = about;
  ::PostMessageW(target, WM_KEYDOWN, key, 0);
  ::PostMessageW(target, WM_KEYUP, key, 0);
}

TEST_F(MainDialogTest, AboutBoxShowsCentredOverTheDialogAndEveryWayOutCloses) {
  struct Case {
    const char* what;
    void (*close)(HWND about);
    INT_PTR result;
  };
  const std::vector<Case> cases = {
      {"OK", [](HWND about) { ::PostMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0); }, IDOK},
      {"Enter", [](HWND about) { PostKeyTo(about, VK_RETURN); }, IDOK},
      {"Esc", [](HWND about) { PostKeyTo(about, VK_ESCAPE); }, IDCANCEL},
      {"close button", [](HWND about) { ::PostMessageW(about, WM_CLOSE, 0, 0); }, IDCANCEL},
  };
  // Off centre, so that centring over the dialog differs from the work area.
  ::SetWindowPos(window_, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    probe = AboutProbe();
    probe.mainWindow = window_;
    probe.close = c.close;
    probe.checkLayout = &c == &cases.front();
    ::SetTimer(nullptr, 0, 50, &InspectAbout);
    AboutDialog about;
    EXPECT_EQ(about.Run(instance_, window_), c.result);
    ASSERT_NE(probe.about, nullptr) << "the About box never showed";
    EXPECT_FALSE(probe.mainEnabled) << "the dialog is disabled while the box is open";
    EXPECT_EQ(probe.caption, "О программе");
    EXPECT_EQ(probe.text, "Varnoket v1.0\n\n© Разработчики Varnoket");
    EXPECT_TRUE(probe.hasIcon);
    const POINT expected =
        test::Centred(probe.mainRect, area, probe.aboutRect.right - probe.aboutRect.left,
                      probe.aboutRect.bottom - probe.aboutRect.top);
    EXPECT_EQ(probe.aboutRect.left, expected.x);
    EXPECT_EQ(probe.aboutRect.top, expected.y);
  }
}

TEST_F(MainDialogTest, EveryWindowTheProgramOpensCarriesItsIcon) {
  struct Case {
    const char* what;
    void (*open)(MainDialogTest& test);
  };
  const std::vector<Case> cases = {
      {"About box", [](MainDialogTest& t) { t.Command(IDC_ABOUT, BN_CLICKED); }},
      {"message box",
       [](MainDialogTest& t) { DialogHost().ShowMessage(t.window_, L"?", L"Varnoket", MB_OK); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    probe = AboutProbe();
    probe.mainWindow = window_;
    probe.close = [](HWND box) { ::PostMessageW(box, WM_COMMAND, IDOK, 0); };
    ::SetTimer(nullptr, 0, 50, &InspectAbout);
    c.open(*this);
    ASSERT_NE(probe.about, nullptr);
    EXPECT_TRUE(probe.captionIcon);
  }
}

TEST_F(MainDialogTest, AboutCommandOpensTheBoxOnAnyNotificationCode) {
  for (const int notification : {BN_CLICKED, BN_SETFOCUS}) {
    SCOPED_TRACE(notification);
    probe = AboutProbe();
    probe.mainWindow = window_;
    probe.close = [](HWND about) { ::PostMessageW(about, WM_CLOSE, 0, 0); };
    ::SetTimer(nullptr, 0, 50, &InspectAbout);
    Command(IDC_ABOUT, notification);
    EXPECT_NE(probe.about, nullptr);
  }
  EXPECT_TRUE(host_.messages.empty());
}

}  // namespace
}  // namespace varnoket::app
