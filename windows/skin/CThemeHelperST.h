#pragma once
// The theme of the picture buttons: the application's Qt style draws their background and border
// where a button asks for it.
#include <QRect>

class QPainter;
class QWidget;

class CThemeHelperST {
 public:
  enum class ButtonState { kNormal, kHot, kPressed, kDisabled, kDefault };

  // True while the application has a style to draw with.
  bool IsAppThemed() const;
  // Draws a button's background in the state: a push button panel, or a tool-bar button panel
  // for flat-themed buttons.
  void DrawThemeBackground(QPainter& painter, const QWidget& button, const QRect& area, ButtonState state,
                           bool flatTheme) const;
};
