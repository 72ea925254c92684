// The "真实摄像头" tab: its resource panel and its playing window.
#include "shell/mainwindow/TabPair.h"

namespace kalimo {

// Empty until the tab's own panel and playing window are built.
TabPair MakeCameraTab(QWidget* mainWindow, QWidget* panelParent) {
  return MakePlaceholderPair(mainWindow, panelParent, QStringLiteral("预览真实摄像头"));
}

}  // namespace kalimo
