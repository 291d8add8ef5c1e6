// SPDX-License-Identifier: MIT
#ifndef VARNOKET_GUI_MAIN_DIALOG_H_
#define VARNOKET_GUI_MAIN_DIALOG_H_

#include <QDialog>
#include <QPointer>
#include <QString>

#include "desktop/background_command.h"

class QLineEdit;
class QKeyEvent;
class QPushButton;

namespace varnoket::platform {
class FileSystem;
}

namespace varnoket::gui {

// The process's exit code after the main dialog ends: Exit, Esc and the
// window's close button all give it.
inline constexpr int kExitCode = 2;

// The modal parts of the main dialog: the folder chooser and every box it
// opens. The default object shows the real ones; tests derive from it to answer
// the chooser and to look at the boxes instead of waiting for a person.
class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Asks for a folder, offering folders only. Returns its path, or an empty
  // string when the user cancelled.
  virtual QString ChooseFolder(QWidget* parent);

  // Runs "dialog" modally and returns once it has closed.
  virtual void RunModal(QDialog& dialog);
};

// The program's only window: a field for the source folder and one for the
// destination folder, each with a browse button, and the Clean, Exit and
// About buttons. Clean checks the folders, cleans the source folder into the
// destination folder and reports how that went.
//
// The files are cleaned on a thread of their own while the window goes on
// painting: for the run every control but Exit is disabled, Esc and Enter do
// nothing, the wait cursor is shown and the title counts the files. Closing
// the window during a run (its close button, Alt+F4, Exit) stops the run: no
// further file is started, the files in hand are finished, none is left
// half-written, and then the dialog ends without the final message.
//
// The children carry object names for tests: "clean", "exit", "about",
// "source", "destination", "browseSource", "browseDestination".
class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // "host" and "fileSystem" must outlive the dialog; null means the real
  // chooser and boxes, and the real disk.
  explicit MainDialog(DialogHost* host = nullptr, platform::FileSystem* fileSystem = nullptr);
  // Stops a run still going on and waits for its files in hand.
  ~MainDialog() override;

  // Exit, Esc and the window's close button arrive here: they end the dialog
  // with kExitCode; during a run, once the run has stopped.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnClean();
  // The run's news, queued by its threads: progress into the title, and at
  // the end the window back as it was and the message.
  void OnRunNews();
  void OnExit();
  void OnAbout();
  void OnBrowseSource();
  void OnBrowseDestination();

  // Every control but Exit enabled, or disabled for a run.
  void EnableControls(bool enable);
  // Fills "field" with a folder chosen by the user; a cancelled choice leaves
  // its text alone.
  void Browse(QLineEdit* field);
  // Shows "message" in a box captioned "Varnoket", then moves the focus into
  // the field the message is about, if any.
  void Show(const desktop::UserMessage& message);

  DialogHost* host_;
  platform::FileSystem* fileSystem_;
  QLineEdit* source_;
  QLineEdit* destination_;
  QPushButton* exit_;

  // While a run goes on: the title and focus to restore after it, and
  // whether the window was asked to close.
  desktop::BackgroundCleanCommand run_;
  QString title_;
  QPointer<QWidget> focusBeforeRun_;
  bool closeRequested_ = false;
};

// Shows "dialog" and runs the application's event loop until the dialog ends.
// Returns the code to exit the process with: kExitCode.
int RunMainDialog(MainDialog& dialog);

}  // namespace varnoket::gui

#endif  // VARNOKET_GUI_MAIN_DIALOG_H_
