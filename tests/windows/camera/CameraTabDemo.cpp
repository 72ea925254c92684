// The camera tab on its own, for tests and screenshots under a real display: the camera list
// panel in a plain page and the camera window beside it, wired as the main window wires them.
// The settings come from config.ini of the program folder. Prints "ready" once both are shown.
#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"
#include "tests/support/TabDemo.h"
#include "windows/camera/CCameraResourceListDlg.h"
#include "windows/camera/CWindowPlayingCamera.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  kalimo::CreateSettingParams();
  kalimo::PrepareStorageFolders();
  int status = 0;
  {
    CWindowPlayingCamera window(kalimo::CameraName());
    QWidget page;
    page.setWindowTitle(QStringLiteral("真实摄像头"));
    status = RunTabDemo(application, page, new CCameraResourceListDlg(window, &page), window);
  }
  kalimo::DestroySettingParams();
  return status;
}
