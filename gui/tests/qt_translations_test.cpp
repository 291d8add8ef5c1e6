// SPDX-License-Identifier: MIT
// Qt's own dialogs speak Russian beside the program's Russian texts. Run
// under LANG=ru_RU.UTF-8, as a Russian desktop starts the program.
#include "gui/qt_translations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

namespace varnoket::gui {

class QtTranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void folderChooserSpeaksRussian() {
    QCOMPARE(QLocale().language(), QLocale::Russian);
    QTranslator translator;
    QVERIFY2(InstallQtTranslations(&translator), "is qt6-translations-l10n installed?");
    // The chooser as the main dialog's host opens it (Qt's own, on every
    // platform that has no native one).
    QFileDialog chooser(nullptr, QString(), QString());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = chooser.findChild<QDialogButtonBox*>();
    QVERIFY(buttons != nullptr);
    QCOMPARE(buttons->button(QDialogButtonBox::Open)->text().remove('&'),
             QStringLiteral("Выбрать"));
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text().remove('&'),
             QStringLiteral("Отмена"));
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Найти каталог"));
  }
};

}  // namespace varnoket::gui

QTEST_MAIN(varnoket::gui::QtTranslationsTest)
#include "qt_translations_test.moc"
