// The "视频文件" tab: the video group panel and the video window it plays into, with the notice
// strip on top of the window.
#include <QObject>

#include "library/settings/VendorSite.h"
#include "shell/mainwindow/CMirandelDlg.h"
#include "shell/mainwindow/TabPair.h"
#include "shell/sidewindows/CNoticeBoardDlg.h"
#include "windows/video/CMovieResourceDlg.h"
#include "windows/video/CWindowPlayingVideo.h"

namespace kalimo {

TabPair MakeVideoTab(QWidget* mainWindow, QWidget* panelParent) {
  auto* window = new CWindowPlayingVideo(mainWindow);
  // The notices come from the vendor's site: without one there is no strip at all.
  if (VendorSiteConfigured()) window->SetNoticeBoard(new CNoticeBoardDlg(window));
  // Closing or minimising the video window only hides it (the video keeps feeding the camera):
  // the main window's button then offers to show it again.
  if (auto* main = qobject_cast<CMirandelDlg*>(mainWindow)) {
    QObject::connect(window, &CWindowPlayingVideo::WindowHidden, main, &CMirandelDlg::PlayingWindowHidden);
  }
  TabPair pair;
  pair.playingWindow = window;
  pair.panel = new CMovieResourceDlg(window, panelParent);
  return pair;
}

}  // namespace kalimo
