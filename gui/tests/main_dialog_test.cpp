// SPDX-License-Identifier: MIT
#include "gui/main_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/gated_file_system.h"

namespace varnoket::gui {
namespace {

// What the dialog put in front of the user, as a test sees it.
struct ShownBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool modal = false;
  QRect geometry;
};

// Answers the folder chooser from a script and records every box instead of
// showing it. A box that is not a message box (the About box) is shown and
// closed again, so that its placement can be checked.
class ScriptedHost : public DialogHost {
 public:
  QString ChooseFolder(QWidget*) override {
    ++chooserCalls;
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }

  void RunModal(QDialog& dialog) override {
    ShownBox box;
    box.title = dialog.windowTitle();
    box.modal = dialog.isModal();
    if (auto* message = qobject_cast<QMessageBox*>(&dialog)) {
      box.text = message->text();
      box.icon = message->icon();
      box.buttons = message->standardButtons();
    } else {
      dialog.show();
      box.geometry = dialog.frameGeometry();
      dialog.close();
    }
    shown.push_back(box);
  }

  QStringList answers;  // the chooser's next answers; an empty one cancels
  int chooserCalls = 0;
  std::vector<ShownBox> shown;
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

constexpr char kGame[] = "(;GM[1]FF[4]SZ[19]PB[Black]PW[White];B[pd]C[a comment];W[dp])";

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
  QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace

class MainDialogTest : public QObject {
  Q_OBJECT

 private:
  QLineEdit* Field(const char* name) const { return dialog_->findChild<QLineEdit*>(name); }
  QPushButton* Button(const char* name) const { return dialog_->findChild<QPushButton*>(name); }
  // The one box shown since the test began, once it is shown: the run goes
  // on a thread of its own. The test fails on any other count.
  const ShownBox& OnlyBox() const {
    static const ShownBox none;
    (void)QTest::qWaitFor([this] { return !host_.shown.empty(); });
    if (host_.shown.size() == 1) return host_.shown.front();
    QTest::qFail(qPrintable(QString("%1 boxes shown, not 1").arg(host_.shown.size())), __FILE__,
                 __LINE__);
    return none;
  }
  void StartDialog(platform::FileSystem* fileSystem) {
    dialog_ = std::make_unique<MainDialog>(&host_, fileSystem);
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
  }

  // A dialog whose run waits at the gate, with "games" games to clean and
  // the first of them done.
  void StartGatedRun(int games) {
    StartDialog(gate_.get());
    QVERIFY(QDir(folders_->path()).mkpath("in"));
    QVERIFY(QDir(folders_->path()).mkpath("out"));
    for (int i = 0; i < games; ++i) {
      WriteFile(folders_->filePath(QString("in/%1.sgf").arg(i)), kGame);
    }
    Field("source")->setText(folders_->filePath("in"));
    Field("destination")->setText(folders_->filePath("out"));
    QTest::mouseClick(Button("clean"), Qt::LeftButton);
    gate_->Allow(1);
    QTRY_COMPARE(dialog_->windowTitle(), QString("Очистка… 1 из %1").arg(games));
  }

  ScriptedHost host_;
  std::unique_ptr<test::GatedFileSystem> gate_;
  std::unique_ptr<MainDialog> dialog_;
  std::unique_ptr<QTemporaryDir> folders_;

 private slots:
  void init() {
    host_ = ScriptedHost();
    gate_ = std::make_unique<test::GatedFileSystem>();
    folders_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folders_->isValid());
    StartDialog(nullptr);
  }
  void cleanup() {
    gate_->Open();  // a failed test leaves no run waiting
    dialog_.reset();
  }

  void startsEmptyWithCleanFocused() {
    QCOMPARE(dialog_->windowTitle(),
             QStringLiteral("Очистка SGF-файла от лишнего (остается только игра)"));
    QVERIFY(!dialog_->windowIcon().pixmap(32).isNull());
    QCOMPARE(Field("source")->text(), QString());
    QCOMPARE(Field("destination")->text(), QString());
    QCOMPARE(QApplication::focusWidget(), Button("clean"));
    QVERIFY(Button("clean")->isDefault());
  }

  void isFixedSizeWithoutMaximise() {
    QCOMPARE(dialog_->minimumSize(), dialog_->size());
    QCOMPARE(dialog_->maximumSize(), dialog_->size());
    QVERIFY(!dialog_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog_->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(dialog_->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  }

  void labelsShowTheirWholeText() {
    const QList<QLabel*> labels = dialog_->findChildren<QLabel*>();
    QCOMPARE(labels.size(), 2);
    for (const QLabel* label : labels) {
      QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    }
  }

  void controlsFitWithoutOverlapping() {
    const QList<QWidget*> controls = dialog_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 9);
    for (qsizetype i = 0; i < controls.size(); ++i) {
      const QRect area = controls[i]->geometry();
      QVERIFY2(dialog_->rect().contains(area), qPrintable(controls[i]->objectName()));
      for (qsizetype j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!area.intersects(controls[j]->geometry()),
                 qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
      }
    }
  }

  void tabFollowsTemplateOrder() {
    const QStringList expected = {
        "exit", "about", "source", "destination", "browseSource", "browseDestination", "clean"};
    for (const QString& name : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("browseDestination"));
  }

  void enterPressesTheDefaultButton_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("cleans");
    QTest::newRow("Return on Clean") << "clean" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on Clean") << "clean" << int(Qt::Key_Enter) << true;
    QTest::newRow("Return in the source field") << "source" << int(Qt::Key_Return) << true;
    QTest::newRow("Return in the destination field")
        << "destination" << int(Qt::Key_Return) << true;
    QTest::newRow("Return on Exit presses Exit") << "exit" << int(Qt::Key_Return) << false;
  }
  void enterPressesTheDefaultButton() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, cleans);
    QSignalSpy finished(dialog_.get(), &QDialog::finished);
    auto* target = dialog_->findChild<QWidget*>(focus);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    if (cleans) {
      // Both fields are empty: Clean stops at the check before the run.
      QCOMPARE(OnlyBox().text, QStringLiteral("Укажите папку с исходными файлами."));
      QCOMPARE(finished.count(), 0);
    } else {
      QVERIFY(host_.shown.empty());
      QCOMPARE(finished.count(), 1);
    }
  }

  void everyWayOutEndsWithCodeTwo_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Exit button") << "exit";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("Esc in a field") << "escape in field";
    QTest::newRow("close button") << "close";
  }
  void everyWayOutEndsWithCodeTwo() {
    QFETCH(QString, way);
    QSignalSpy finished(dialog_.get(), &QDialog::finished);
    if (way == "exit") QTest::mouseClick(Button("exit"), Qt::LeftButton);
    if (way == "escape") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    if (way == "escape in field") QTest::keyClick(Field("destination"), Qt::Key_Escape);
    if (way == "close") QVERIFY(dialog_->close());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.front().front().toInt(), 2);
  }

  void eventLoopReturnsTheExitCode() {
    MainDialog dialog(&host_);
    QMetaObject::invokeMethod(
        &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); }, Qt::QueuedConnection);
    QCOMPARE(RunMainDialog(dialog), 2);
  }

  void checksFoldersBeforeRunning_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    // "@" stands for the temporary folder, which exists.
    QTest::newRow("both empty") << ""
                                << ""
                                << "Укажите папку с исходными файлами."
                                << "source";
    QTest::newRow("destination empty") << "@"
                                       << ""
                                       << "Укажите папку для результата."
                                       << "destination";
    QTest::newRow("source missing") << "@/нет"
                                    << "@"
                                    << "Папка с исходными файлами не найдена:\n@/нет"
                                    << "source";
    QTest::newRow("source missing, pasted in quotes")
        << " \"@/нет\" "
        << "@"
        << "Папка с исходными файлами не найдена:\n@/нет"
        << "source";
    QTest::newRow("destination missing") << "@"
                                         << "@/out"
                                         << "Папка для результата не найдена:\n@/out"
                                         << "destination";
  }
  void checksFoldersBeforeRunning() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, text);
    QFETCH(QString, focus);
    const QString root = folders_->path();
    Field("source")->setText(source.replace("@", root));
    Field("destination")->setText(destination.replace("@", root));

    QTest::mouseClick(Button("clean"), Qt::LeftButton);

    const ShownBox& box = OnlyBox();
    QCOMPARE(box.title, QStringLiteral("Varnoket"));
    QCOMPARE(box.text, text.replace("@", root));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(QApplication::focusWidget(), Field(qPrintable(focus)));
    QVERIFY(!QDir(root + "/out").exists());
  }

  void reportsTheRun_data() {
    QTest::addColumn<QStringList>("games");
    QTest::addColumn<QStringList>("others");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("no SGF files") << QStringList() << QStringList{"notes.txt"}
                                  << "Очистка завершена.\n\nФайлы *.sgf в папке не найдены."
                                  << QMessageBox::NoIcon;
    QTest::newRow("every file cleaned")
        << QStringList{"a.sgf", "Партия.SGF"} << QStringList()
        << "Очистка завершена.\n\nОчищено файлов: 2." << QMessageBox::NoIcon;
    QTest::newRow("one file without a game")
        << QStringList{"a.sgf"} << QStringList{"broken.sgf"}
        << "Очистка завершена.\n\nОчищено файлов: 1 из 2.\nНе удалось очистить:\n"
           "broken.sgf — в файле нет игры"
        << QMessageBox::Warning;
    QTest::newRow("one record cut short")
        << QStringList{"a.sgf"} << QStringList{"cut.sgf"}
        << "Очистка завершена.\n\nОчищено файлов: 1 из 2.\nНе удалось очистить:\n"
           "cut.sgf — запись игры оборвана"
        << QMessageBox::Warning;
  }
  void reportsTheRun() {
    QFETCH(QStringList, games);
    QFETCH(QStringList, others);
    QFETCH(QString, text);
    QFETCH(QMessageBox::Icon, icon);
    QVERIFY(QDir(folders_->path()).mkpath("in"));
    QVERIFY(QDir(folders_->path()).mkpath("out"));
    for (const QString& name : games) WriteFile(folders_->filePath("in/" + name), kGame);
    for (const QString& name : others) {
      // A record that breaks off in its second move, or no record at all.
      WriteFile(folders_->filePath("in/" + name),
                name.startsWith("cut") ? QByteArray("(;GM[1];B[aa];W[b") : "no game here");
    }
    Field("source")->setText(folders_->filePath("in"));
    Field("destination")->setText(folders_->filePath("out"));

    QTest::keyClick(Button("clean"), Qt::Key_Return);

    const ShownBox& box = OnlyBox();
    QCOMPARE(box.title, QStringLiteral("Varnoket"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QStringList written = QDir(folders_->filePath("out")).entryList(QDir::Files, QDir::Name);
    games.sort();
    QCOMPARE(written, games);
  }

  void staysResponsiveButBlockedWhileRunning() {
    StartGatedRun(3);

    QTest::keyClick(dialog_.get(), Qt::Key_Escape);  // closes nothing
    QTest::keyClick(dialog_.get(), Qt::Key_Return);  // starts nothing
    PaintCounter counter(dialog_.get());
    dialog_->update();
    QTRY_VERIFY(counter.paints > 0);
    // Of the controls only Exit stays enabled, so that the run can be stopped.
    for (const char* name : {"clean", "about", "browseSource", "browseDestination"}) {
      QVERIFY2(!Button(name)->isEnabled(), name);
    }
    QVERIFY(!Field("source")->isEnabled());
    QVERIFY(!Field("destination")->isEnabled());
    QVERIFY(Button("exit")->isEnabled());
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QVERIFY(host_.shown.empty());

    gate_->Open();
    QCOMPARE(OnlyBox().text, QStringLiteral("Очистка завершена.\n\nОчищено файлов: 3."));
    QCOMPARE(dialog_->windowTitle(),
             QStringLiteral("Очистка SGF-файла от лишнего (остается только игра)"));
    QVERIFY(Button("clean")->isEnabled());
    QVERIFY(Field("source")->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(QApplication::focusWidget(), Button("clean"));
  }

  void everyWayOfClosingDuringARunStopsItThenEndsTheDialog_data() {
    QTest::addColumn<QString>("way");
    // Alt+F4 reaches the dialog from the window manager as the close button.
    QTest::newRow("close button") << "close";
    QTest::newRow("Exit button") << "exit";
    QTest::newRow("Space on Exit") << "space";
  }
  void everyWayOfClosingDuringARunStopsItThenEndsTheDialog() {
    QFETCH(QString, way);
    // More games than the run can have in hand: one per hardware thread.
    const int workers = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int games = workers + 3;
    StartGatedRun(games);
    QSignalSpy finished(dialog_.get(), &QDialog::finished);

    if (way == "close") QVERIFY(!dialog_->close());
    if (way == "exit") QTest::mouseClick(Button("exit"), Qt::LeftButton);
    if (way == "space") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    // The files in hand go on, and the title counts them. Progress reaches
    // the window at most ten times a second: the first file's is past.
    QTest::qWait(150);
    gate_->Allow(1);
    QTRY_COMPARE(dialog_->windowTitle(), QString("Очистка… 2 из %1").arg(games));
    QCOMPARE(finished.count(), 0);

    gate_->Open();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.front().front().toInt(), 2);
    QVERIFY(host_.shown.empty());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // The two let through, and at most one more in hand per worker.
    const QStringList written = QDir(folders_->filePath("out")).entryList(QDir::Files);
    QVERIFY2(written.size() <= 2 + workers, qPrintable(written.join(' ')));
  }

  void foldersAreReadAsPasted() {
    QVERIFY(QDir(folders_->path()).mkpath("in"));
    QVERIFY(QDir(folders_->path()).mkpath("out"));
    WriteFile(folders_->filePath("in/a.sgf"), kGame);
    const auto restoreHome = qScopeGuard([home = qgetenv("HOME")] { qputenv("HOME", home); });
    qputenv("HOME", QFile::encodeName(folders_->path()));
    Field("source")->setText(" \"" + folders_->filePath("in") + "\" ");
    Field("destination")->setText("~/out");

    QTest::mouseClick(Button("clean"), Qt::LeftButton);

    QCOMPARE(OnlyBox().text, QStringLiteral("Очистка завершена.\n\nОчищено файлов: 1."));
    QVERIFY(QFile::exists(folders_->filePath("out/a.sgf")));
  }

  void browseFillsOnlyItsField_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::newRow("source chosen") << "browseSource"
                                   << "/home/go/games"
                                   << "/home/go/games"
                                   << "typed by hand";
    QTest::newRow("destination chosen") << "browseDestination"
                                        << "/tmp/clean"
                                        << "typed by hand"
                                        << "/tmp/clean";
    QTest::newRow("source cancelled") << "browseSource"
                                      << ""
                                      << "typed by hand"
                                      << "typed by hand";
    QTest::newRow("destination cancelled") << "browseDestination"
                                           << ""
                                           << "typed by hand"
                                           << "typed by hand";
  }
  void browseFillsOnlyItsField() {
    QFETCH(QString, button);
    QFETCH(QString, answer);
    QFETCH(QString, source);
    QFETCH(QString, destination);
    Field("source")->setText("typed by hand");
    Field("destination")->setText("typed by hand");
    host_.answers = {answer};

    QTest::mouseClick(Button(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(host_.chooserCalls, 1);
    QCOMPARE(Field("source")->text(), source);
    QCOMPARE(Field("destination")->text(), destination);
    QVERIFY(host_.shown.empty());
  }

  void aboutOpensAModalBoxCentredOverTheWindow() {
    QTest::mouseClick(Button("about"), Qt::LeftButton);

    const ShownBox& box = OnlyBox();
    QCOMPARE(box.title, QStringLiteral("О программе"));
    QVERIFY(box.modal);
    const QPoint offset = box.geometry.center() - dialog_->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QString("off centre by %1, %2").arg(offset.x()).arg(offset.y())));
  }
};

}  // namespace varnoket::gui

QTEST_MAIN(varnoket::gui::MainDialogTest)
#include "main_dialog_test.moc"
