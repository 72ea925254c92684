// The "真实摄像头" tab: the camera list panel and the camera window with its photo and recording bar.
#include <QObject>

#include "library/settings/SettingParams.h"
#include "shell/mainwindow/TabPair.h"
#include "shell/settings/CSettingDlg.h"
#include "windows/camera/CCameraResourceListDlg.h"
#include "windows/camera/CPlayCameraControlDlg.h"
#include "windows/camera/CWindowPlayingCamera.h"

namespace kalimo {

TabPair MakeCameraTab(QWidget* mainWindow, QWidget* panelParent) {
  // The virtual camera's own name, so that the list leaves it out.
  auto* window = new CWindowPlayingCamera(CameraName(), mainWindow);
  QObject::connect(window->Bar(), &CPlayCameraControlDlg::SettingsRequested, mainWindow,
                   [mainWindow] { OpenSettingDialog(mainWindow); });
  TabPair pair;
  pair.playingWindow = window;
  pair.panel = new CCameraResourceListDlg(*window, panelParent);
  return pair;
}

}  // namespace kalimo
