#pragma once
// The theme of the picture buttons. By default the program's picture buttons paint their own
// flat look (the brightened hover colour, the 3-D hover and pressed borders), the same on every
// desktop; a helper made with `drawWithStyle` lets the application's Qt style draw their
// background and border instead, as a desktop theme would.
#include <QRect>

class QPainter;
class QWidget;

class CThemeHelperST {
 public:
  enum class ButtonState { kNormal, kHot, kPressed, kDisabled, kDefault };

  explicit CThemeHelperST(bool drawWithStyle = false) : drawWithStyle_(drawWithStyle) {}

  // True when buttons are to be drawn by the style (and the application has one).
  bool IsAppThemed() const;
  // Draws a button's background in the state: a push button panel, or a tool-bar button panel
  // for flat-themed buttons.
  void DrawThemeBackground(QPainter& painter, const QWidget& button, const QRect& area, ButtonState state,
                           bool flatTheme) const;

 private:
  bool drawWithStyle_;
};
