#pragma once
// Escape anywhere on the X display ends a capture, whichever window has the focus: the key is
// grabbed on the root window through a connection of our own and watched on a thread.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace kalimo::screencapture {

class EscapeKeyWatch {
 public:
  static constexpr int kPollMilliseconds = 50;

  EscapeKeyWatch() = default;
  ~EscapeKeyWatch() { Stop(); }
  EscapeKeyWatch(const EscapeKeyWatch&) = delete;
  EscapeKeyWatch& operator=(const EscapeKeyWatch&) = delete;

  // Grabs Escape on $DISPLAY; `pressed` runs on the watch thread, once, at the first press.
  // False with `error` when the display cannot be opened or another client holds the key.
  bool Start(std::function<void()> pressed, std::string& error);
  // Releases the key and joins the thread.
  void Stop();

 private:
  void Watch();

  void* display_ = nullptr;  // Display*, kept out of the header
  std::function<void()> pressed_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kalimo::screencapture
