// The "视频文件" tab: its resource panel and its playing window.
#include "shell/mainwindow/TabPair.h"

namespace kalimo {

// Empty until the tab's own panel and playing window are built.
TabPair MakeVideoTab(QWidget* mainWindow, QWidget* panelParent) {
  return MakePlaceholderPair(mainWindow, panelParent, QStringLiteral("视频预览区"));
}

}  // namespace kalimo
