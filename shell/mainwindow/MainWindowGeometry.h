#pragma once
// Where the main window, its resource panel and the playing window go. Rectangles are in global
// (screen) coordinates unless said otherwise; a point is inside a rectangle on its left and top
// edges and not on its right and bottom edges (QRect::contains).
#include <QRect>
#include <QSize>

namespace kalimo {

// The playing window's width beside the main window.
inline constexpr int kPlayingWindowWidth = 420;

// The main window centred on `screen` together with the playing window at its right.
QPoint CentredMainWindowPosition(const QRect& screen, const QSize& mainWindow);

// The playing window docked: at the main window's right edge, 420 wide, as tall as the main window.
QRect DockedPlayingWindow(const QRect& mainWindow);

// Whether the playing window touches the main window's right edge: the point one pixel left of its
// left edge, one pixel below its top or on its last row, lies inside the main window.
bool TouchesRightEdge(const QRect& mainWindow, const QRect& playingWindow);

// The resource panel inside the tab control (in the tab control's coordinates): the whole control
// below the 40 pixels of the tab row, 2 pixels in from the left.
QRect ResourcePanelRect(const QSize& tabControl);

}  // namespace kalimo
