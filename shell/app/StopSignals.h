#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the user-interface thread, so that a program
// asked to stop (by the session, a service manager or Ctrl-C) shuts down in order: its sources
// stop and its frame section is removed, as after the user's own exit.
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kalimo {

class StopSignals : public QObject {
  Q_OBJECT

 public:
  // One at a time per process; the previous handlers come back when it goes.
  explicit StopSignals(std::function<void()> onStop);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  std::function<void()> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kalimo
