// SPDX-License-Identifier: MIT
#ifndef VARNOKET_GUI_DIALOG_GEOMETRY_H_
#define VARNOKET_GUI_DIALOG_GEOMETRY_H_

#include <QPoint>
#include <QRect>
#include <QSize>

class QFont;

namespace varnoket::gui {

// Converts the dialog units of the Windows program's dialog templates to
// pixels for one font, as the Windows dialog manager does: a horizontal unit is
// a quarter of the font's average character width, a vertical unit an eighth
// of its height. Both windows keep the Windows proportions at any font size.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QRect ToPixels(int x, int y, int width, int height) const;
  QSize ToPixels(int width, int height) const;

 private:
  int averageCharWidth_;
  int charHeight_;
};

// The top-left corner for a window of "size" centred over "reference", or over
// "workArea" when "reference" is null, and kept inside "workArea" as
// desktop::CentredPosition says.
QPoint CentredPosition(QSize size, const QRect& reference, const QRect& workArea);

}  // namespace varnoket::gui

#endif  // VARNOKET_GUI_DIALOG_GEOMETRY_H_
