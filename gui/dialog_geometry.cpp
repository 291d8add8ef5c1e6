// SPDX-License-Identifier: MIT
#include "gui/dialog_geometry.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include "desktop/window_placement.h"

namespace varnoket::gui {
namespace {

// The Windows dialog manager's measure of a font's average character width:
// the advance of the 52 Latin letters divided by 52, rounded.
int AverageCharWidth(const QFontMetrics& metrics) {
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return (metrics.horizontalAdvance(letters) + 26) / 52;
}

// units * base / divisor, rounded to the nearest pixel.
int Scale(int units, int base, int divisor) {
  const int product = units * base;
  return product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  averageCharWidth_ = AverageCharWidth(metrics);
  charHeight_ = metrics.height();
}

int DialogUnits::ToPixelsX(int units) const { return Scale(units, averageCharWidth_, 4); }

int DialogUnits::ToPixelsY(int units) const { return Scale(units, charHeight_, 8); }

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return QSize(ToPixelsX(width), ToPixelsY(height));
}

QPoint CentredPosition(QSize size, const QRect& reference, const QRect& workArea) {
  // Right and bottom edges as Windows counts them: one past the last pixel.
  const auto edges = [](const QRect& rect) {
    return desktop::ScreenRect{rect.x(), rect.y(), rect.x() + rect.width(),
                               rect.y() + rect.height()};
  };
  const desktop::ScreenPoint position =
      desktop::CentredPosition(edges(reference.isNull() ? workArea : reference), edges(workArea),
                               size.width(), size.height());
  return QPoint(position.x, position.y);
}

}  // namespace varnoket::gui
