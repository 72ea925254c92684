// Opens the image list panel, adds the files given on the command line as "添加" would, and is
// killed at once: what the panel wrote before the kill is all that is left.
#include <QApplication>

#include <csignal>

#include "windows/image/CImageResourceListDlg.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CImageResourceListDlg panel;
  panel.AddImageFiles(application.arguments().mid(1));
  std::raise(SIGKILL);
  return 0;
}
