// SPDX-License-Identifier: MIT
#ifndef VARNOKET_GUI_ABOUT_BOX_H_
#define VARNOKET_GUI_ABOUT_BOX_H_

#include <QDialog>
#include <QIcon>

class QShowEvent;

namespace varnoket::gui {

// The program's icon: a black and a white Go stone.
QIcon ProgramIcon();

// The About box: the icon, the program's name and version ("Varnoket v1.0")
// and a credits line in a frame, and an OK button. It is modal, and centres itself over its parent
// when shown.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace varnoket::gui

#endif  // VARNOKET_GUI_ABOUT_BOX_H_
