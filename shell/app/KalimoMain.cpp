// The main program, kalimo.
#include <QApplication>

#include "common/MessageBoxPresenter.h"
#include "shell/app/DisplayPlatform.h"
#include "shell/app/Mirandel.h"

int main(int argc, char** argv) {
  kalimo::ChooseDisplayPlatform();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Kalimo");
  kalimo::InstallMessageBoxPresenter();
  kalimo::CMirandelApp mirandel;
  return mirandel.Run();
}
