// The "图像" tab: the image list panel and the image window that shows its pictures in turn.
#include "shell/mainwindow/TabPair.h"
#include "windows/image/CImageResourceListDlg.h"
#include "windows/image/CWindowPlayingImage.h"

namespace kalimo {

TabPair MakeImageTab(QWidget* mainWindow, QWidget* panelParent) {
  auto* window = new CWindowPlayingImage(mainWindow);
  auto* panel = new CImageResourceListDlg(panelParent);
  // The main window deletes the window before the panel, so the panel outlives every call.
  window->SetImageSource([panel](std::int32_t& index) { return panel->GetImageAt(index); });
  TabPair pair;
  pair.playingWindow = window;
  pair.panel = panel;
  return pair;
}

}  // namespace kalimo
