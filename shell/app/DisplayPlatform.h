#pragma once
// Which of Qt's window-system platforms the program starts on.
#include <optional>
#include <string>

namespace kalimo {

struct DisplayEnvironment {
  std::string qtPlatform;   // QT_QPA_PLATFORM
  std::string sessionType;  // XDG_SESSION_TYPE
  std::string waylandDisplay;  // WAYLAND_DISPLAY
  std::string x11Display;   // DISPLAY
};

// On a Wayland session a program may not place its own windows, yet the main window centres
// itself and docks the playing window at its edge. So there the program runs on X11 (XWayland)
// when an X display is there, unless the user chose a platform. Nothing when Qt's choice stands.
std::optional<std::string> PlatformToUse(const DisplayEnvironment& environment);

// Applies PlatformToUse to this process's environment; call before the QApplication is made.
void ChooseDisplayPlatform();

}  // namespace kalimo
