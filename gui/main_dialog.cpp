// SPDX-License-Identifier: MIT
#include "gui/main_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "desktop/clean_command.h"
#include "desktop/dialog_texts.h"
#include "desktop/user_message.h"
#include "gui/about_box.h"
#include "gui/dialog_geometry.h"

namespace varnoket::gui {
namespace {

DialogHost& DefaultHost() {
  static DialogHost host;
  return host;
}

// "text" is UTF-8, as the shared dialog texts are.
QPushButton* AddButton(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  return button;
}

QLineEdit* AddField(QWidget* parent, const char* name, const QRect& geometry) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setGeometry(geometry);
  return field;
}

// A label never cuts its text: where the font needs more room than the
// template gives, the label grows to the right, where nothing else stands.
void AddLabel(QWidget* parent, const char* text, QRect geometry) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  geometry.setWidth(qMax(geometry.width(), label->sizeHint().width()));
  label->setGeometry(geometry);
}

}  // namespace

QString DialogHost::ChooseFolder(QWidget* parent) {
  // The chooser starts at the home folder whatever the field holds.
  return QFileDialog::getExistingDirectory(parent, QString(), QDir::homePath(),
                                           QFileDialog::ShowDirsOnly);
}

void DialogHost::RunModal(QDialog& dialog) { dialog.exec(); }

MainDialog::MainDialog(DialogHost* host, platform::FileSystem* fileSystem)
    : QDialog(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      host_(host != nullptr ? host : &DefaultHost()),
      fileSystem_(fileSystem) {
  setWindowTitle(QString::fromUtf8(VARNOKET_TEXT_MAIN_CAPTION));
  setWindowIcon(ProgramIcon());

  // The Windows template's controls in its order, which is the tab order;
  // positions and sizes are its dialog units.
  const DialogUnits units(font());
  QPushButton* clean = AddButton(this, "clean", VARNOKET_TEXT_CLEAN, units.ToPixels(7, 77, 50, 14));
  QPushButton* exit = AddButton(this, "exit", VARNOKET_TEXT_EXIT, units.ToPixels(65, 77, 50, 14));
  exit_ = exit;
  QPushButton* about =
      AddButton(this, "about", VARNOKET_TEXT_ABOUT, units.ToPixels(230, 77, 60, 14));
  source_ = AddField(this, "source", units.ToPixels(7, 17, 265, 14));
  destination_ = AddField(this, "destination", units.ToPixels(7, 50, 265, 14));
  AddLabel(this, VARNOKET_TEXT_SOURCE_LABEL, units.ToPixels(7, 7, 127, 8));
  AddLabel(this, VARNOKET_TEXT_DESTINATION_LABEL, units.ToPixels(7, 38, 106, 8));
  QPushButton* browseSource =
      AddButton(this, "browseSource", VARNOKET_TEXT_BROWSE, units.ToPixels(276, 17, 14, 14));
  QPushButton* browseDestination =
      AddButton(this, "browseDestination", VARNOKET_TEXT_BROWSE, units.ToPixels(276, 50, 14, 14));

  QWidget::setTabOrder(clean, exit);
  QWidget::setTabOrder(exit, about);
  QWidget::setTabOrder(about, source_);
  QWidget::setTabOrder(source_, destination_);
  QWidget::setTabOrder(destination_, browseSource);
  QWidget::setTabOrder(browseSource, browseDestination);

  clean->setDefault(true);
  clean->setFocus();

  connect(clean, &QPushButton::clicked, this, &MainDialog::OnClean);
  connect(exit, &QPushButton::clicked, this, &MainDialog::reject);
  connect(about, &QPushButton::clicked, this, &MainDialog::OnAbout);
  connect(browseSource, &QPushButton::clicked, this, &MainDialog::OnBrowseSource);
  connect(browseDestination, &QPushButton::clicked, this, &MainDialog::OnBrowseDestination);

  setFixedSize(units.ToPixels(297, 98));
  move(CentredPosition(frameGeometry().size(), QRect(), screen()->availableGeometry()));
}

MainDialog::~MainDialog() {
  // The run's last queued call may still come; it dies with the dialog.
  if (run_.running()) QApplication::restoreOverrideCursor();
}

void MainDialog::reject() {
  if (run_.running()) {
    closeRequested_ = true;
    run_.Stop();
    return;
  }
  OnExit();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  const bool closesOrPresses = event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
                               event->key() == Qt::Key_Enter;
  if (run_.running() && closesOrPresses && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::EnableControls(bool enable) {
  for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (control != exit_) control->setEnabled(enable);
  }
}

void MainDialog::OnClean() {
  if (run_.running()) return;
  title_ = windowTitle();
  focusBeforeRun_ = focusWidget();
  closeRequested_ = false;
  // The focus leaves the controls being disabled for Exit, on which Space
  // stops the run.
  exit_->setFocus();
  EnableControls(false);
  setWindowTitle(QString::fromStdU16String(desktop::ProgressCaption(BatchProgress())));
  QApplication::setOverrideCursor(Qt::WaitCursor);

  desktop::CleanCommandOptions options;
  options.fileSystem = fileSystem_;
  run_.Start(
      source_->text().toStdU16String(), destination_->text().toStdU16String(), std::move(options),
      [this] { QMetaObject::invokeMethod(this, &MainDialog::OnRunNews, Qt::QueuedConnection); });
}

void MainDialog::OnRunNews() {
  desktop::RunNews news = run_.TakeNews();
  if (!news.message.has_value()) {
    if (news.progress.has_value()) {
      setWindowTitle(QString::fromStdU16String(desktop::ProgressCaption(*news.progress)));
    }
    return;
  }
  setWindowTitle(title_);
  EnableControls(true);
  QApplication::restoreOverrideCursor();
  if (closeRequested_) {
    OnExit();
    return;
  }
  if (focusBeforeRun_ != nullptr) focusBeforeRun_->setFocus();
  Show(*news.message);
}

void MainDialog::OnExit() { done(kExitCode); }

void MainDialog::OnAbout() {
  AboutBox box(this);
  host_->RunModal(box);
}

void MainDialog::OnBrowseSource() { Browse(source_); }

void MainDialog::OnBrowseDestination() { Browse(destination_); }

void MainDialog::Browse(QLineEdit* field) {
  const QString folder = host_->ChooseFolder(this);
  if (!folder.isEmpty()) field->setText(folder);
}

void MainDialog::Show(const desktop::UserMessage& message) {
  using Field = desktop::UserMessage::Field;
  const QMessageBox::Icon icon = message.icon == desktop::UserMessage::Icon::Warning
                                     ? QMessageBox::Warning
                                     : QMessageBox::NoIcon;
  QMessageBox box(icon, QString::fromStdU16String(desktop::MessageCaption()),
                  QString::fromStdU16String(message.text), QMessageBox::Ok, this);
  // File names are shown as they are, never read as markup.
  box.setTextFormat(Qt::PlainText);
  host_->RunModal(box);

  QLineEdit* field = message.focus == Field::Source        ? source_
                     : message.focus == Field::Destination ? destination_
                                                           : nullptr;
  if (field != nullptr) {
    field->setFocus();
    field->selectAll();
  }
}

int RunMainDialog(MainDialog& dialog) {
  // The dialog's end, not the last window closing, ends the loop, so that the
  // exit code is the dialog's.
  QApplication::setQuitOnLastWindowClosed(false);
  const QMetaObject::Connection ending = QObject::connect(
      &dialog, &QDialog::finished, qApp, [](int code) { QCoreApplication::exit(code); });
  dialog.show();
  const int code = QApplication::exec();
  QObject::disconnect(ending);
  return code;
}

}  // namespace varnoket::gui
