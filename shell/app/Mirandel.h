#pragma once
// The application object of the main program: start-up in a fixed order, the main dialog, and the
// release of the process-wide objects in a fixed order at the end.
#include <memory>
#include <string>

#include "shell/app/SingleInstanceGuard.h"
#include "shell/app/UpdaterModule.h"

class QDialog;

namespace kalimo {

inline constexpr const char* kAlreadyRunningText = "应用程序已经启动，不能重复启动";
inline constexpr const char* kXvidFailureFormat =
    "Fail to run application,because register xvid is error error code = %d";

class CMirandelApp {
 public:
  // Exit statuses of Run().
  static constexpr int kEnded = 0;    // the main dialog ran and closed, or another start took over
  static constexpr int kRefused = 1;  // start-up refused: see the message, the log or stderr

  // `updaterFile` is the updater component to load: its bare file name in the product, a path in
  // tests. Needs a QApplication.
  explicit CMirandelApp(std::string updaterFile = kUpdaterFileName);
  ~CMirandelApp();
  CMirandelApp(const CMirandelApp&) = delete;
  CMirandelApp& operator=(const CMirandelApp&) = delete;

  // Starts, runs the main dialog until it closes, and shuts down. Returns an exit status.
  int Run();

 private:
  // The start-up steps up to the main dialog; false when the start ends early (`status` says how).
  bool InitInstance(int& status);
  void ExitInstance();

  std::string updaterFile_;
  SingleInstanceGuard instance_;
  UpdaterModule updater_;
  std::unique_ptr<QDialog> mainDialog_;
};

}  // namespace kalimo
