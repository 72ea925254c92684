// The image tab on its own, for tests and screenshots under a real display: the image list panel
// in a plain page and the image window beside it, wired as the main window wires them. The list
// comes from "images.dat" of the program folder; the first argument, when given, is the seconds
// per image. Prints "ready" once both are shown.
#include <QLineEdit>

#include "tests/support/TabDemo.h"
#include "windows/image/CImageResourceListDlg.h"
#include "windows/image/CPlayImageControlDlg.h"
#include "windows/image/CWindowPlayingImage.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget page;
  page.setWindowTitle(QStringLiteral("图像"));
  auto* panel = new CImageResourceListDlg(&page);
  CWindowPlayingImage window(&page);
  window.SetImageSource([panel](std::int32_t& index) { return panel->GetImageAt(index); });
  if (argc > 1) window.Bar()->SecondsEdit()->setText(QString::fromLocal8Bit(argv[1]));
  return RunTabDemo(application, page, panel, window);
}
