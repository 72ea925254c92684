// The camera tab on its own, for tests and screenshots under a real display: the camera list
// panel in a plain page and the camera window beside it, wired as the main window wires them.
// The settings come from config.ini of the program folder. Prints "ready" once both are shown.
#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"
#include "windows/CCameraResourceListDlg.h"
#include "windows/CWindowPlayingCamera.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  kalimo::CreateSettingParams();
  kalimo::PrepareStorageFolders();
  int status = 0;
  {
    CWindowPlayingCamera window(kalimo::CameraName());
    QWidget page;
    page.setWindowTitle(QStringLiteral("真实摄像头"));
    auto* panel = new CCameraResourceListDlg(window, &page);
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
    page.setGeometry(20, 40, 226, 480);
    window.setGeometry(page.geometry().right() + 12, 40, 420, 480);
    page.show();
    window.show();
    QTimer::singleShot(500, [] {
      std::puts("ready");
      std::fflush(stdout);
    });
    status = application.exec();
  }
  kalimo::DestroySettingParams();
  return status;
}
