#include "shell/app/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace kalimo {

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int wakeFds[2] = {-1, -1};
struct sigaction previous[std::size(kSignals)];

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int) {
  const int saved = errno;
  const char byte = 's';
  [[maybe_unused]] const ssize_t ignored = write(wakeFds[1], &byte, 1);
  errno = saved;
}
}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
  if (pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(wakeFds[0], bytes, sizeof bytes) > 0) {
    }
    if (onStop_) onStop_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  delete notifier_;
  close(wakeFds[0]);
  close(wakeFds[1]);
  wakeFds[0] = wakeFds[1] = -1;
}

}  // namespace kalimo
