#pragma once
// Dialog templates are measured in dialog units; at the dialog font's average character of 6 × 13
// pixels one horizontal unit is 1.5 pixels and one vertical unit 1.625.
#include <QRect>
#include <QSize>

inline int DialogUnitsX(int units) { return units * 3 / 2; }
inline int DialogUnitsY(int units) { return units * 13 / 8; }
inline QRect DialogUnitsRect(int x, int y, int width, int height) {
  return QRect(DialogUnitsX(x), DialogUnitsY(y), DialogUnitsX(width), DialogUnitsY(height));
}
inline QSize DialogUnitsSize(int width, int height) { return QSize(DialogUnitsX(width), DialogUnitsY(height)); }
