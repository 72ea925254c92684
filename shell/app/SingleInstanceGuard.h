#pragma once
// Keeps the main program to one instance per user. The first start serves the per-user endpoint;
// a later start asks it to bring its main window to the front and then ends.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <string>

#include "platform/SingleInstance.h"

namespace kalimo {

class SingleInstanceGuard : public QObject {
  Q_OBJECT

 public:
  // The request a second start sends, and the running instance's answers.
  static constexpr const char* kActivateRequest = "activate";
  static constexpr const char* kStateRequest = "state";  // the same answers, and nothing happens
  static constexpr const char* kShownAnswer = "shown";    // its main window came to the front
  static constexpr const char* kHiddenAnswer = "hidden";  // it sits in the tray and stays there
  static constexpr const char* kNoWindowAnswer = "nowindow";

  enum class Claim {
    kFirst,           // this process is the instance; the endpoint is served
    kOtherShown,      // another instance runs and brought its window to the front
    kOtherHidden,     // another instance runs hidden in the tray; nothing visible happened
    kOtherNoWindow,   // another instance runs (or another producer feeds) without a main window
  };

  SingleInstanceGuard() = default;
  ~SingleInstanceGuard() override;

  // Serves the endpoint, or, when another process serves it, asks that one to come to the front.
  // A failure to serve for any other reason is logged and the start goes on unguarded.
  Claim TakeInstance();

  // The window that an activation request brings to the front; followed while it lives.
  void WatchMainWindow(QWidget* window);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class WindowState { kNone, kHidden, kShown };

  std::string Answer(const std::string& request);
  void BringToFront();
  void Track();

  QPointer<QWidget> window_;
  std::atomic<WindowState> windowState_{WindowState::kNone};
  platform::SingleInstanceServer server_;  // last: stops before the rest goes
};

}  // namespace kalimo
