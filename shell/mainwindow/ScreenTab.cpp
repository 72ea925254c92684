// The "捕获屏幕" tab: the screen-capture panel and the screen window that shows the captured frames.
#include "shell/mainwindow/CMirandelDlg.h"
#include "shell/mainwindow/TabPair.h"
#include "windows/screen/CCaptureScreenResourceDlg.h"
#include "windows/screen/CWindowPlayingCaptureScreen.h"

namespace kalimo {

TabPair MakeScreenTab(QWidget* mainWindow, QWidget* panelParent) {
  auto* window = new CWindowPlayingCaptureScreen(mainWindow);
  auto* panel = new CCaptureScreenResourceDlg(window, panelParent);
  // A capture hides the main window and its current pair, and shows them again at its end.
  if (auto* main = qobject_cast<CMirandelDlg*>(mainWindow)) {
    panel->SetMainWindowViews([main] { return main->CurrentViews(); });
  }
  TabPair pair;
  pair.playingWindow = window;
  pair.panel = panel;
  return pair;
}

}  // namespace kalimo
