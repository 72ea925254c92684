// The "捕获屏幕" tab: its resource panel and its playing window.
#include "shell/mainwindow/TabPair.h"

namespace kalimo {

// Empty until the tab's own panel and playing window are built.
TabPair MakeScreenTab(QWidget* mainWindow, QWidget* panelParent) {
  return MakePlaceholderPair(mainWindow, panelParent, QStringLiteral("效果区"));
}

}  // namespace kalimo
