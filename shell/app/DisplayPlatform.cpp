#include "shell/app/DisplayPlatform.h"

#include <cstdlib>

namespace kalimo {

namespace {
std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

std::optional<std::string> PlatformToUse(const DisplayEnvironment& environment) {
  if (!environment.qtPlatform.empty() || environment.x11Display.empty()) return std::nullopt;
  if (environment.sessionType == "wayland" || !environment.waylandDisplay.empty()) return "xcb";
  return std::nullopt;
}

void ChooseDisplayPlatform() {
  const DisplayEnvironment environment{Variable("QT_QPA_PLATFORM"), Variable("XDG_SESSION_TYPE"),
                                       Variable("WAYLAND_DISPLAY"), Variable("DISPLAY")};
  if (const auto platform = PlatformToUse(environment)) setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
}

}  // namespace kalimo
