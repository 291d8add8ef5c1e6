// SPDX-License-Identifier: MIT
#include "app/main_dialog.h"

#include <string>
#include <utility>

#include "app/about_dialog.h"
#include "app/folder_chooser.h"
#include "app/window_placement.h"
#include "desktop/clean_command.h"
#include "desktop/user_message.h"
#include "res/resource_ids.h"

namespace varnoket::app {
namespace {

// Posted by a run's threads when news is waiting (BackgroundCleanCommand).
constexpr UINT kRunNews = WM_APP + 1;

// The whole text of a window or control, however long.
std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// UTF-16 both ways: wchar_t is 16 bits wide on Windows.
std::u16string ToU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The controls that a run disables: all but Exit.
constexpr int kControlsOfARun[] = {IDC_CLEAN,         IDC_ABOUT,
                                   IDC_SOURCE_FOLDER, IDC_DESTINATION_FOLDER,
                                   IDC_BROWSE_SOURCE, IDC_BROWSE_DESTINATION};

}  // namespace

MainDialog::MainDialog(DialogHost* host, platform::FileSystem* fileSystem)
    : host_(host != nullptr ? host : &ownHost_), fileSystem_(fileSystem) {}

MainDialog::~MainDialog() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

bool MainDialog::Create(HINSTANCE instance) {
  instance_ = instance;
  const HWND created = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN_DIALOG), nullptr,
                                            &DialogProc, reinterpret_cast<LPARAM>(this));
  return created != nullptr;
}

bool MainDialog::HandleDialogKey(MSG* message) {
  // During a run Esc and Enter do nothing; Alt+F4 still closes.
  return window_ != nullptr && !run_.running() && ::IsDialogMessageW(window_, message) != FALSE;
}

INT_PTR CALLBACK MainDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The object travels in WM_INITDIALOG's parameter and is kept with the
  // window from then on.
  MainDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<MainDialog*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
  } else {
    dialog = reinterpret_cast<MainDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  }
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->window_ = nullptr;
    return FALSE;
  }
  return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR MainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return OnInit();
  if (message == kRunNews) {
    OnRunNews();
    return TRUE;
  }
  if (message == WM_SETCURSOR && run_.running()) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  const int notification = HIWORD(wParam);
  if (run_.running()) {
    // The disabled controls give no commands; closing the window (which
    // arrives as Exit) stops the run and closes it once the run has ended.
    if (id == IDC_EXIT) {
      closeRequested_ = true;
      run_.Stop();
    }
    return TRUE;
  }
  switch (id) {
    case IDC_ABOUT:
      OnAbout();
      return TRUE;
    case IDC_CLEAN:
      OnClean();
      return TRUE;
    case IDC_EXIT:
      OnExit();
      return TRUE;
    case IDC_BROWSE_SOURCE:
      if (notification != BN_CLICKED) return FALSE;
      OnBrowseSource();
      return TRUE;
    case IDC_BROWSE_DESTINATION:
      if (notification != BN_CLICKED) return FALSE;
      OnBrowseDestination();
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL MainDialog::OnInit() {
  CentreOver(window_, nullptr);

  icon_.emplace(instance_);
  icon_->SetOn(window_);

  sourceField_ = ::GetDlgItem(window_, IDC_SOURCE_FOLDER);
  destinationField_ = ::GetDlgItem(window_, IDC_DESTINATION_FOLDER);
  // The dialog manager gives the focus to the first tab stop, Clean.
  return TRUE;
}

void MainDialog::OnAbout() {
  // Owned by the active window, which is this dialog when its button or
  // command was used; the dialog stands in when no window is active.
  HWND owner = ::GetActiveWindow();
  if (owner == nullptr) owner = window_;
  AboutDialog about;
  about.Run(instance_, owner);
}

void MainDialog::OnClean() {
  const std::u16string source = ToU16(WindowText(sourceField_));
  const std::u16string destination = ToU16(WindowText(destinationField_));
  caption_ = WindowText(window_);
  focusBeforeRun_ = ::GetFocus();
  closeRequested_ = false;
  // The focus leaves the controls being disabled for Exit, on which Space
  // stops the run and from which Alt+F4 closes the window.
  ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(window_, IDC_EXIT)),
                 TRUE);
  EnableControls(false);
  ::SetWindowTextW(window_, ToWide(desktop::ProgressCaption(BatchProgress())).c_str());
  cursorBeforeRun_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));

  desktop::CleanCommandOptions options;
  options.fileSystem = fileSystem_;
  const HWND window = window_;
  run_.Start(source, destination, std::move(options),
             [window] { ::PostMessageW(window, kRunNews, 0, 0); });
}

void MainDialog::OnRunNews() {
  desktop::RunNews news = run_.TakeNews();
  if (!news.message.has_value()) {
    if (news.progress.has_value()) {
      ::SetWindowTextW(window_, ToWide(desktop::ProgressCaption(*news.progress)).c_str());
    }
    return;
  }
  ::SetWindowTextW(window_, caption_.c_str());
  EnableControls(true);
  ::SetCursor(cursorBeforeRun_);
  if (closeRequested_) {
    OnExit();
    return;
  }
  if (focusBeforeRun_ != nullptr && ::IsChild(window_, focusBeforeRun_)) {
    ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusBeforeRun_), TRUE);
  }
  Show(*news.message);
}

void MainDialog::EnableControls(bool enable) {
  for (const int id : kControlsOfARun) ::EnableWindow(::GetDlgItem(window_, id), enable);
}

void MainDialog::OnExit() {
  ::DestroyWindow(window_);
  ::PostQuitMessage(IDC_EXIT);
}

void MainDialog::OnBrowseSource() { BrowseInto(sourceField_); }

void MainDialog::OnBrowseDestination() { BrowseInto(destinationField_); }

void MainDialog::BrowseInto(HWND field) {
  std::wstring folder;
  if (host_->ChooseFolder(::GetActiveWindow(), &folder) == FolderChooser::kChosen) {
    ::SetWindowTextW(field, folder.c_str());
  }
}

void MainDialog::Show(const desktop::UserMessage& message) {
  using Icon = desktop::UserMessage::Icon;
  using Field = desktop::UserMessage::Field;
  UINT type = MB_OK;
  if (message.icon == Icon::Warning) type |= MB_ICONWARNING;
  host_->ShowMessage(window_, ToWide(message.text), ToWide(desktop::MessageCaption()), type);

  HWND field = nullptr;
  if (message.focus == Field::Source) field = sourceField_;
  if (message.focus == Field::Destination) field = destinationField_;
  if (field != nullptr && window_ != nullptr) {
    ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
  }
}

}  // namespace varnoket::app
