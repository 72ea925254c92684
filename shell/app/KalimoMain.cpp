// The main program, kalimo.
#include <QApplication>

#include "common/Logging.h"
#include "common/MessageBoxPresenter.h"
#include "shell/app/DisplayPlatform.h"
#include "shell/app/Mirandel.h"
#include "shell/app/QtChineseTexts.h"

int main(int argc, char** argv) {
  kalimo::ChooseDisplayPlatform();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Kalimo");
  kalimo::InstallQtChineseTexts();  // before the first message box
  kalimo::InstallMessageBoxPresenter();
  int status = 0;
  {
    kalimo::CMirandelApp mirandel;
    status = mirandel.Run();
  }
  kalimo::log::Shutdown();  // flushes the log last
  return status;
}
