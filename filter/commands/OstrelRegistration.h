#pragma once
// Registering the virtual camera for the current user: the plugin becomes visible to every
// GStreamer application, and the device entry gives the camera its name.
#include <string>

#include "platform/RegistryStore.h"

namespace kalimo {

inline constexpr const char* kPluginFileName = "libgstostrel.so";
using platform::kRegisteredCameraName;

// Where GStreamer looks for the user's own plugins: $XDG_DATA_HOME/gstreamer-1.0/plugins.
std::string UserPluginFolder();

// Links the plugin file into the user's plugin folder (a symbolic link, so the plugin still finds
// the main program beside its real file) and writes the device entry with the default name,
// restoring it if the user renamed the camera. On failure `message` says what went wrong.
bool RegisterOstrel(const std::string& pluginFile, std::string& message);

// Removes the link and the device entry. What is already gone is not an error. For a packaged
// program, whose camera every user sees without an entry, an empty entry stays: it hides the
// camera from this user until the next registration.
bool UnregisterOstrel(std::string& message);

}  // namespace kalimo
