// SPDX-License-Identifier: MIT
// The Linux desktop front end: one window that cleans a folder of SGF files.

#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/program_arguments.h"
#include "gui/about_box.h"
#include "gui/main_dialog.h"
#include "gui/qt_translations.h"
#include "varnoket/version.h"

int main(int argc, char** argv) {
  using varnoket::desktop::ProgramAction;
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ProgramAction action = varnoket::desktop::ChooseProgramAction(arguments);
  if (action != ProgramAction::OpenWindow) {
    const std::string text = action == ProgramAction::PrintHelp
                                 ? varnoket::desktop::WindowProgramHelp("varnoket")
                                 : varnoket::VersionText("varnoket");
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // Apart from --help and --version the command line is not read: Qt sees the
  // program's name alone, so no argument, Qt's own included, changes what the
  // program does.
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
