#include "shell/app/Mirandel.h"

#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QThread>
#include <cstdio>

#include "common/ApplyDataToOstrel.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "library/settings/SettingParams.h"
#include "shell/app/ModalDialogsEnd.h"
#include "shell/app/QtChineseTexts.h"
#include "shell/app/StopSignals.h"
#include "shell/app/XvidStatus.h"
#include "shell/mainwindow/CMirandelDlg.h"

namespace kalimo {

namespace {
// Reads "log4trovella.properties" from the program folder (else the working folder). Without it
// the records go nowhere, quietly.
void ConfigureLogging() {
  if (!log::Configure()) {
    log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
  }
}

// A bare name is looked for beside the program's executable first (its run path), then in the system's library folders.
std::string DescribeUpdaterLocation(const std::string& file) {
  if (file.find('/') != std::string::npos) return file;
  return file + " (looked for in " + QCoreApplication::applicationDirPath().toStdString() +
         " and the system's library folders)";
}
}  // namespace

CMirandelApp::CMirandelApp(std::string updaterFile) : updaterFile_(std::move(updaterFile)) {}

CMirandelApp::~CMirandelApp() = default;

int CMirandelApp::Run() {
  int status = kEnded;
  if (InitInstance(status)) {
    {
      // Not exec(): a modal run ends when the dialog hides, and the main window hides to the tray.
      QEventLoop loop;
      const int runLevel = QThread::currentThread()->loopLevel() + 1;  // the level of `loop`
      // A stop signal ends the modal dialogs first; the main dialog ends once their loops returned.
      StopSignals stop([this, runLevel] {
        EndModalDialogsThen(mainDialog_.get(), runLevel, [this] { mainDialog_->done(QDialog::Rejected); });
      });
      QObject::connect(mainDialog_.get(), &QDialog::finished, &loop, &QEventLoop::quit);
      mainDialog_->show();
      loop.exec();
    }
    ExitInstance();
  }
  return status;
}

bool CMirandelApp::InitInstance(int& status) {
  // One instance per user: a second start hands over to the first and ends.
  switch (instance_.TakeInstance()) {
    case SingleInstanceGuard::Claim::kFirst:
      break;
    case SingleInstanceGuard::Claim::kOtherShown:
    case SingleInstanceGuard::Claim::kOtherHidden:
      status = kEnded;
      return false;
    case SingleInstanceGuard::Claim::kOtherNoWindow:
      ShowWarning(kAlreadyRunningText);
      status = kRefused;
      return false;
  }

  if (int error = 0; !WriteXvidDisplayStatus(error)) {
    ShowWarning(log::Format(kXvidFailureFormat, error));
    status = kRefused;
    return false;
  }

  // The updater may take over (its answer is not 0): then this start ends, quietly, as the updater
  // shows what it does. A missing updater ends it too, but says so, or the program would seem to
  // crash.
  if (const int answer = updater_.Run(updaterFile_); answer != 0) {
    const bool unavailable = !updater_.Failure().empty();
    if (unavailable) {
      const std::string text = "the updater component " + DescribeUpdaterLocation(updaterFile_) +
                               " could not be used: " + updater_.Failure();
      ConfigureLogging();
      KALIMO_LOG_ERROR("%s", text.c_str());
      std::fprintf(stderr, "kalimo: %s\n", text.c_str());
    }
    updater_.Release();
    status = unavailable ? kRefused : kEnded;
    return false;
  }

  ConfigureLogging();
  KALIMO_LOG_INFO("begin to trovella");
  if (!QtChineseTextsInstalled()) {
    KALIMO_LOG_INFO("Qt's Chinese translation qtbase_zh_CN.qm is not installed: standard buttons are in English");
  }
  // The list files need no process-wide instance here: ListFile is stateless.

  mainDialog_ = std::make_unique<CMirandelDlg>();
  instance_.WatchMainWindow(mainDialog_.get());
  status = kEnded;
  return true;
}

// The process-wide objects go in a fixed order; the sources went with the main dialog's windows.
void CMirandelApp::ExitInstance() {
  updater_.Release();
  DestroySettingParams();
  // No picture outlives the program: close the frame section and remove its name.
  CloseFrameSection(ProcessFrameSectionHandle());
  instance_.WatchMainWindow(nullptr);
  mainDialog_.reset();
}

}  // namespace kalimo
