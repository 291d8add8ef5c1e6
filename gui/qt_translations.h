// SPDX-License-Identifier: MIT
#ifndef VARNOKET_GUI_QT_TRANSLATIONS_H_
#define VARNOKET_GUI_QT_TRANSLATIONS_H_

class QTranslator;

namespace varnoket::gui {

// Loads Qt's own translations for the system locale (qtbase_ru under
// LANG=ru_RU.UTF-8) into "*translator" and installs it in the application,
// so that Qt's dialogs, the folder chooser among them, and its standard
// buttons speak the language of the program's own texts. "*translator" must
// outlive the application object. False, with nothing installed, when Qt has
// no translation for the locale or it is not installed (Debian's
// qt6-translations-l10n ships them).
bool InstallQtTranslations(QTranslator* translator);

}  // namespace varnoket::gui

#endif  // VARNOKET_GUI_QT_TRANSLATIONS_H_
