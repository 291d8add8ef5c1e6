#ifndef VARNOKET_APP_MAIN_DIALOG_H_
#define VARNOKET_APP_MAIN_DIALOG_H_

#include <windows.h>

#include <string>

#include "app/desktop.h"
#include "app/message_loop.h"

namespace varnoket::desktop {
struct UserMessage;
}

namespace varnoket::app {

// The program's main window: a modeless dialog with the source and the
// destination folder fields, a browse button beside each, and Clean, Exit and
// About. Clean cleans the source folder into the destination folder and
// reports how that went.
class MainDialog final : public MessageFilter, public IdleHandler {
 public:
  // "desktop" shows the message boxes and the folder chooser; null means the
  // real ones. "*desktop" must outlive this object.
  explicit MainDialog(Desktop* desktop = nullptr);
  // Destroys the window if it still exists and leaves the message loop. The
  // loop the dialog joined must still be live.
  ~MainDialog() override;
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // Creates the dialog, hidden and centred on the work area, from template
  // IDD_MAIN_DIALOG of "instance", and joins the calling thread's message
  // loop (if it has one in the module's table). False when the dialog cannot
  // be created.
  bool Create(HINSTANCE instance);

  // The dialog window; null before Create and after the window is destroyed.
  HWND window() const { return window_; }

  // The dialog's keyboard handling (Tab, Enter, Esc) for the message loop.
  bool PreTranslateMessage(MSG* message) override;
  bool OnIdle(int count) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInit();
  void OnAbout();
  void OnClean();
  void OnExit();
  void OnBrowseSource();
  void OnBrowseDestination();

  // Puts a chosen folder into "field"; a cancelled browse changes nothing.
  void BrowseInto(HWND field);
  // Shows "message" and then moves the focus into the field it names.
  void Show(const desktop::UserMessage& message);

  Desktop ownDesktop_;
  Desktop* desktop_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND sourceField_ = nullptr;
  HWND destinationField_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  MessageLoop* loop_ = nullptr;  // the loop joined in OnInit, not owned
};

}  // namespace varnoket::app

#endif  // VARNOKET_APP_MAIN_DIALOG_H_
