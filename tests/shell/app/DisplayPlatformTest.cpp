#include "shell/app/DisplayPlatform.h"

#include <gtest/gtest.h>

namespace kalimo {
namespace {

TEST(DisplayPlatform, WaylandSessionsRunOnXWaylandUnlessTheUserChoseAPlatform) {
  const struct {
    DisplayEnvironment environment;
    std::optional<std::string> expected;
  } cases[] = {
      {{"", "wayland", "wayland-0", ":0"}, "xcb"},
      {{"", "", "wayland-0", ":0"}, "xcb"},               // no session type, but a Wayland display
      {{"wayland", "wayland", "wayland-0", ":0"}, {}},    // the user's choice stands
      {{"offscreen", "wayland", "wayland-0", ":0"}, {}},
      {{"", "wayland", "wayland-0", ""}, {}},             // no XWayland: Qt's own choice
      {{"", "x11", "", ":0"}, {}},
      {{"", "", "", ""}, {}},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(PlatformToUse(entry.environment), entry.expected)
        << entry.environment.qtPlatform << "|" << entry.environment.sessionType << "|"
        << entry.environment.waylandDisplay << "|" << entry.environment.x11Display;
  }
}

}  // namespace
}  // namespace kalimo
