// SPDX-License-Identifier: MIT
// The labels of the two desktop windows, in Russian, shared by the Windows
// resource script and the Linux front end. They are macros expanding to UTF-8
// string literals because the resource compiler understands nothing else.
#ifndef VARNOKET_DESKTOP_DIALOG_TEXTS_H_
#define VARNOKET_DESKTOP_DIALOG_TEXTS_H_

#include "varnoket/version.h"

// The main dialog.
#define VARNOKET_TEXT_MAIN_CAPTION "Очистка SGF-файла от лишнего (остается только игра)"
#define VARNOKET_TEXT_CLEAN "Очистить"
#define VARNOKET_TEXT_EXIT "Выход"
#define VARNOKET_TEXT_ABOUT "О программе..."
#define VARNOKET_TEXT_SOURCE_LABEL "Дирректория с исходными файлами:"
#define VARNOKET_TEXT_DESTINATION_LABEL "Дирректория для результата:"
#define VARNOKET_TEXT_BROWSE "..."

// The About box: its caption, and the program's name and version over a
// credits line.
#define VARNOKET_TEXT_ABOUT_CAPTION "О программе"
#define VARNOKET_TEXT_ABOUT_BODY "Varnoket v" VARNOKET_VERSION_SHORT "\n\n© Разработчики Varnoket"

#endif  // VARNOKET_DESKTOP_DIALOG_TEXTS_H_
