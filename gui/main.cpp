// SPDX-License-Identifier: MIT
// The Linux desktop front end: one window that cleans a folder of SGF files.

#include <QApplication>
#include <QTranslator>

#include "gui/about_box.h"
#include "gui/main_dialog.h"
#include "gui/qt_translations.h"

int main(int, char**) {
  // The command line is not read: Qt sees the program's name alone, so no
  // argument, Qt's own included, changes what the program does.
  char name[] = "varnoket";
  char* qtArgv[] = {name, nullptr};
  int qtArgc = 1;
  QApplication app(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Varnoket"));
  QApplication::setDesktopFileName(QStringLiteral("varnoket"));
  QApplication::setWindowIcon(varnoket::gui::ProgramIcon());

  // Qt's own dialogs, the folder chooser among them, speak the user's language.
  QTranslator qtTranslator;
  varnoket::gui::InstallQtTranslations(&qtTranslator);

  varnoket::gui::MainDialog dialog;
  return varnoket::gui::RunMainDialog(dialog);
}
