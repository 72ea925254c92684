#include "shell/mainwindow/MainWindowGeometry.h"

namespace kalimo {

QPoint CentredMainWindowPosition(const QRect& screen, const QSize& mainWindow) {
  return {screen.left() + (screen.width() - (mainWindow.width() + kPlayingWindowWidth)) / 2,
          screen.top() + (screen.height() - mainWindow.height()) / 2};
}

QRect DockedPlayingWindow(const QRect& mainWindow) {
  return {mainWindow.right() + 1, mainWindow.top(), kPlayingWindowWidth, mainWindow.height()};
}

bool TouchesRightEdge(const QRect& mainWindow, const QRect& playingWindow) {
  const int x = playingWindow.left() - 1;
  return mainWindow.contains(x, playingWindow.top() + 1) || mainWindow.contains(x, playingWindow.bottom());
}

QRect ResourcePanelRect(const QSize& tabControl) {
  constexpr int kTabRowHeight = 40;
  constexpr int kLeftInset = 2;
  return {kLeftInset, kTabRowHeight, tabControl.width() - kLeftInset, tabControl.height() - kTabRowHeight};
}

}  // namespace kalimo
