#include "shell/app/SingleInstanceGuard.h"

#include <QApplication>
#include <QEvent>
#include <cerrno>

#include "common/Logging.h"
#include "common/Messages.h"

namespace kalimo {

SingleInstanceGuard::~SingleInstanceGuard() { server_.Stop(); }

SingleInstanceGuard::Claim SingleInstanceGuard::TakeInstance() {
  int error = 0;
  if (server_.StartAnswering([this](const std::string& request) { return Answer(request); }, error)) {
    return Claim::kFirst;
  }
  if (error != EADDRINUSE) {
    KALIMO_LOG_ERROR("the single-instance endpoint %s cannot be served: %s",
                     platform::SingleInstanceEndpointPath().c_str(), SystemErrorText(error).c_str());
    return Claim::kFirst;
  }
  const auto answer = platform::AskSingleInstance(kActivateRequest);
  if (answer == kShownAnswer) return Claim::kOtherShown;
  if (answer == kHiddenAnswer) return Claim::kOtherHidden;
  return Claim::kOtherNoWindow;
}

void SingleInstanceGuard::WatchMainWindow(QWidget* window) {
  if (window_) {
    window_->removeEventFilter(this);
    disconnect(window_, nullptr, this, nullptr);
  }
  window_ = window;
  if (window_) {
    window_->installEventFilter(this);
    connect(window_, &QObject::destroyed, this, [this] { windowState_ = WindowState::kNone; });
  }
  Track();
}

bool SingleInstanceGuard::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::WindowStateChange:
        Track();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void SingleInstanceGuard::Track() {
  if (!window_) {
    windowState_ = WindowState::kNone;
    return;
  }
  // A minimised window is still visible to Qt; only a window hidden to the tray is not.
  windowState_ = window_->isVisible() ? WindowState::kShown : WindowState::kHidden;
}

// Runs on the endpoint's thread: it reads the window's state, never the window itself.
std::string SingleInstanceGuard::Answer(const std::string& request) {
  const bool activate = request == kActivateRequest;
  if (!activate && request != kStateRequest) return {};
  switch (windowState_.load()) {
    case WindowState::kShown:
      if (activate) QMetaObject::invokeMethod(this, [this] { BringToFront(); }, Qt::QueuedConnection);
      return kShownAnswer;
    case WindowState::kHidden:
      return kHiddenAnswer;
    case WindowState::kNone:
      break;
  }
  return kNoWindowAnswer;
}

void SingleInstanceGuard::BringToFront() {
  if (!window_ || !window_->isVisible()) return;
  if (window_->isMinimized()) window_->showNormal();
  window_->raise();
  window_->activateWindow();
  // Then the pop-up the user was last working in, e.g. an open settings dialog.
  if (QWidget* popup = QApplication::activeModalWidget(); popup && popup != window_) {
    popup->raise();
    popup->activateWindow();
  }
  KALIMO_LOG_INFO("another start asked for the main window: brought to the front");
}

}  // namespace kalimo
