// SPDX-License-Identifier: MIT
#include "gui/about_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QString>

#include "desktop/dialog_texts.h"
#include "gui/dialog_geometry.h"

namespace varnoket::gui {

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/varnoket/varnoket.png")); }

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QString::fromUtf8(VARNOKET_TEXT_ABOUT_CAPTION));
  setWindowIcon(ProgramIcon());
  setModal(true);

  // The Windows template's layout, in its dialog units. The frame comes first
  // so that the icon and the text are drawn over it.
  const DialogUnits units(font());
  auto* frame = new QGroupBox(this);
  frame->setGeometry(units.ToPixels(7, 7, 115, 88));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  const QRect iconArea = units.ToPixels(55, 26, 20, 20);
  const int side = qMin(iconArea.width(), iconArea.height());
  icon->setGeometry(iconArea);
  icon->setAlignment(Qt::AlignCenter);
  icon->setPixmap(ProgramIcon().pixmap(QSize(side, side)));

  auto* text = new QLabel(this);
  text->setObjectName(QStringLiteral("text"));
  text->setGeometry(units.ToPixels(7, 57, 114, 32));
  text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  text->setText(QString::fromUtf8(VARNOKET_TEXT_ABOUT_BODY));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setGeometry(units.ToPixels(130, 81, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();

  setFixedSize(units.ToPixels(187, 102));
}

void AboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
  const QRect reference = owner != nullptr && owner->isVisible() && !owner->isMinimized()
                              ? owner->frameGeometry()
                              : QRect();
  move(CentredPosition(frameGeometry().size(), reference, screen()->availableGeometry()));
}

}  // namespace varnoket::gui
