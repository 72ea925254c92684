// The image tab on its own, for tests and screenshots under a real display: the image list panel
// in a plain page and the image window beside it, wired as the main window wires them. The list
// comes from "images.dat" of the program folder; the first argument, when given, is the seconds
// per image. Prints "ready" once both are shown.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "windows/CImageResourceListDlg.h"
#include "windows/CPlayImageControlDlg.h"
#include "windows/CWindowPlayingImage.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget page;
  page.setWindowTitle(QStringLiteral("图像"));
  auto* panel = new CImageResourceListDlg(&page);
  auto* layout = new QVBoxLayout(&page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel);
  page.setGeometry(20, 40, 226, 480);

  CWindowPlayingImage window(&page);
  window.SetImageSource([panel](std::int32_t& index) { return panel->GetImageAt(index); });
  if (argc > 1) window.Bar()->SecondsEdit()->setText(QString::fromLocal8Bit(argv[1]));
  window.setGeometry(page.geometry().right() + 12, 40, 420, 480);

  page.show();
  window.show();
  QTimer::singleShot(500, [] {
    std::puts("ready");
    std::fflush(stdout);
  });
  return application.exec();
}
