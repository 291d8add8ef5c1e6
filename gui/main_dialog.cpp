#include "gui/main_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <string>

#include "batch/batch_run.h"
#include "batch/user_message.h"
#include "gui/about_box.h"
#include "gui/dialog_geometry.h"

namespace varnoket::gui {
namespace {

DialogHost& DefaultHost() {
  static DialogHost host;
  return host;
}

// Shows the wait cursor over the whole application while it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// A field's text as a file name, encoded as the file system expects.
std::filesystem::path FolderPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QPushButton* AddButton(QWidget* parent, const char* name, const QString& text,
                       const QRect& geometry) {
  auto* button = new QPushButton(text, parent);
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
void AddLabel(QWidget* parent, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, parent);
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
  setWindowTitle(QStringLiteral("Очистка SGF-файла от лишнего (остается только игра)"));
  setWindowIcon(ProgramIcon());

  // The Windows template's controls in its order, which is the tab order;
  // positions and sizes are its dialog units.
  const DialogUnits units(font());
  QPushButton* clean =
      AddButton(this, "clean", QStringLiteral("Очистить"), units.ToPixels(7, 77, 50, 14));
  QPushButton* exit =
      AddButton(this, "exit", QStringLiteral("Выход"), units.ToPixels(65, 77, 50, 14));
  QPushButton* about =
      AddButton(this, "about", QStringLiteral("О программе..."), units.ToPixels(230, 77, 60, 14));
  source_ = AddField(this, "source", units.ToPixels(7, 17, 265, 14));
  destination_ = AddField(this, "destination", units.ToPixels(7, 50, 265, 14));
  AddLabel(this, QStringLiteral("Дирректория с исходными файлами:"), units.ToPixels(7, 7, 127, 8));
  AddLabel(this, QStringLiteral("Дирректория для результата:"), units.ToPixels(7, 38, 106, 8));
  QPushButton* browseSource =
      AddButton(this, "browseSource", QStringLiteral("..."), units.ToPixels(276, 17, 14, 14));
  QPushButton* browseDestination =
      AddButton(this, "browseDestination", QStringLiteral("..."), units.ToPixels(276, 50, 14, 14));

  QWidget::setTabOrder(clean, exit);
  QWidget::setTabOrder(exit, about);
  QWidget::setTabOrder(about, source_);
  QWidget::setTabOrder(source_, destination_);
  QWidget::setTabOrder(destination_, browseSource);
  QWidget::setTabOrder(browseSource, browseDestination);

  clean->setDefault(true);
  clean->setFocus();

  connect(clean, &QPushButton::clicked, this, &MainDialog::OnClean);
  connect(exit, &QPushButton::clicked, this, &MainDialog::OnExit);
  connect(about, &QPushButton::clicked, this, &MainDialog::OnAbout);
  connect(browseSource, &QPushButton::clicked, this, &MainDialog::OnBrowseSource);
  connect(browseDestination, &QPushButton::clicked, this, &MainDialog::OnBrowseDestination);

  setFixedSize(units.ToPixels(297, 98));
  move(CentredPosition(frameGeometry().size(), QRect(), screen()->availableGeometry()));
}

void MainDialog::reject() { OnExit(); }

void MainDialog::OnClean() {
  const UserMessage check = CheckBeforeRun(source_->text().toStdU16String(),
                                           destination_->text().toStdU16String(), fileSystem_);
  if (!check.text.empty()) {
    Show(check);
    return;
  }

  BatchOptions options;
  options.source = FolderPath(source_->text());
  options.destination = FolderPath(destination_->text());
  options.createDestination = false;
  options.jobs = 0;
  options.fileSystem = fileSystem_;
  BatchReport report;
  {
    const WaitCursor waitCursor;
    report = RunBatch(options);
  }
  Show(DescribeRun(report));
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

void MainDialog::Show(const UserMessage& message) {
  const QMessageBox::Icon icon =
      message.icon == UserMessage::Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon;
  QMessageBox box(icon, QString::fromStdU16String(MessageCaption()),
                  QString::fromStdU16String(message.text), QMessageBox::Ok, this);
  // File names are shown as they are, never read as markup.
  box.setTextFormat(Qt::PlainText);
  host_->RunModal(box);

  QLineEdit* field = message.focus == UserMessage::Field::Source        ? source_
                     : message.focus == UserMessage::Field::Destination ? destination_
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
