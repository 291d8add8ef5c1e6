// SPDX-License-Identifier: MIT
#ifndef VARNOKET_APP_MAIN_DIALOG_H_
#define VARNOKET_APP_MAIN_DIALOG_H_

#include <windows.h>

#include <optional>
#include <string>

#include "app/dialog_host.h"
#include "app/window_icon.h"
#include "desktop/background_command.h"

namespace varnoket::platform {
class FileSystem;
}

namespace varnoket::app {

// The program's main window: a modeless dialog with the source and the
// destination folder fields, a browse button beside each, and Clean, Exit and
// About. Clean cleans the source folder into the destination folder and
// reports how that went.
//
// The files are cleaned on a thread of their own while the window goes on
// painting: for the run every control but Exit is disabled and takes no keys,
// the cursor over the window is the wait cursor and the caption counts the
// files. Closing the window during a run (its close button, Alt+F4, Exit)
// stops the run: no further file is started, the files in hand are finished,
// none is left half-written, and then the window closes without the final
// message.
class MainDialog final {
 public:
  // "host" shows the message boxes and the folder chooser, and "fileSystem"
  // does the runs' file operations; null means the real ones. Both must
  // outlive this object.
  explicit MainDialog(DialogHost* host = nullptr, platform::FileSystem* fileSystem = nullptr);
  // Destroys the window if it still exists, stops a run still going on and
  // waits for its files in hand.
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Creates the dialog, hidden and centred on the work area, from template
  // IDD_MAIN_DIALOG of "instance". From then on every window the calling
  // thread opens gets the program's icon (WindowIcon). False when the dialog
  // cannot be created.
  bool Create(HINSTANCE instance);

  // The dialog window; null before Create and after the window is destroyed.
  HWND window() const { return window_; }

  // The dialog's keyboard handling (Tab, Enter, Esc), which the message loop
  // offers every message first: true when "*message" was handled and must
  // not be dispatched. During a run it handles none.
  bool HandleDialogKey(MSG* message);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInit();
  void OnAbout();
  void OnClean();
  // The run's news, posted by its threads: progress into the caption, and at
  // the end the window back as it was and the message.
  void OnRunNews();
  void OnExit();
  void OnBrowseSource();
  void OnBrowseDestination();

  // Puts a chosen folder into "field"; a cancelled browse changes nothing.
  void BrowseInto(HWND field);
  // Shows "message" and then moves the focus into the field it names.
  void Show(const desktop::UserMessage& message);

  // Every control but Exit enabled, or disabled for a run.
  void EnableControls(bool enable);

  DialogHost ownHost_;
  DialogHost* host_;
  platform::FileSystem* fileSystem_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND sourceField_ = nullptr;
  HWND destinationField_ = nullptr;
  std::optional<WindowIcon> icon_;

  // While a run goes on: the caption, focus and cursor to restore after it,
  // and whether the window was asked to close.
  desktop::BackgroundCleanCommand run_;
  std::wstring caption_;
  HWND focusBeforeRun_ = nullptr;
  HCURSOR cursorBeforeRun_ = nullptr;
  bool closeRequested_ = false;
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_MAIN_DIALOG_H_
