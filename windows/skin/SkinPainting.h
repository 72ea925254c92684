#pragma once
// Small drawing helpers the skinned controls share.
#include <QColor>
#include <QPainter>
#include <QRect>

#include "windows/skin/FrameGeometry.h"

namespace kalimo::skin {

inline QRect ToQRect(const FrameRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// A rectangle's top and left lines in one colour, its bottom and right lines in another.
inline void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  painter.setPen(topLeft);
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(bottomRight);
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace kalimo::skin
