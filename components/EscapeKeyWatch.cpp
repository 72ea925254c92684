#include "components/EscapeKeyWatch.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>

namespace kalimo::screencapture {

namespace {

// XGrabKey reports a key held by another client only asynchronously, through the error handler.
bool grabFailed = false;
int NoteGrabFailure(Display*, XErrorEvent* event) {
  if (event->error_code == BadAccess) grabFailed = true;
  return 0;
}

// Caps Lock and Num Lock must not keep Escape from ending the capture.
constexpr unsigned int kLockCombinations[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};

}  // namespace

bool EscapeKeyWatch::Start(std::function<void()> pressed, std::string& error) {
  Stop();
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    error = "the X display cannot be opened to watch the Escape key";
    return false;
  }
  const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
  const Window root = DefaultRootWindow(display);
  XSync(display, False);
  grabFailed = false;
  XErrorHandler previous = XSetErrorHandler(&NoteGrabFailure);
  for (unsigned int modifiers : kLockCombinations)
    XGrabKey(display, escape, modifiers, root, False, GrabModeAsync, GrabModeAsync);
  XSync(display, False);
  XSetErrorHandler(previous);
  if (grabFailed) {
    XCloseDisplay(display);
    error = "another program holds the Escape key";
    return false;
  }
  XSelectInput(display, root, KeyPressMask);
  display_ = display;
  pressed_ = std::move(pressed);
  stop_ = false;
  thread_ = std::thread(&EscapeKeyWatch::Watch, this);
  return true;
}

void EscapeKeyWatch::Watch() {
  auto* display = static_cast<Display*>(display_);
  const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  while (!stop_) {
    if (XPending(display) == 0) {
      poll(&connection, 1, kPollMilliseconds);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == KeyPress && event.xkey.keycode == escape) {
      pressed_();
      return;
    }
  }
}

void EscapeKeyWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (auto* display = static_cast<Display*>(display_)) {
    XUngrabKey(display, AnyKey, AnyModifier, DefaultRootWindow(display));
    XCloseDisplay(display);
    display_ = nullptr;
  }
}

}  // namespace kalimo::screencapture
