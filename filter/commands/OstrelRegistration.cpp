#include "filter/commands/OstrelRegistration.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/ProgramPaths.h"
#include "platform/RegistryStore.h"

namespace kalimo {

namespace fs = std::filesystem;
using platform::RegistryRoot;
using platform::RegistryStore;

std::string UserPluginFolder() { return platform::UserDataDirectory() + "/gstreamer-1.0/plugins"; }

namespace {
bool WriteDeviceEntry(std::string& message) {
  int code = 0;
  if (!RegistryStore::CreateKey(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code) ||
      !RegistryStore::WriteString(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                  platform::kFriendlyNameValue, kRegisteredCameraName, code)) {
    message = "Could not write the camera's entry in " + RegistryStore::FilePath() + ": " + std::strerror(code);
    return false;
  }
  return true;
}
}  // namespace

bool RegisterOstrel(const std::string& pluginFile, std::string& message) {
  if (platform::IsPackagedProgram()) {
    // The package's plugin is in the system's plugin folder: a link of the user's own would load it twice.
    if (!WriteDeviceEntry(message)) return false;
    message = "Registered the camera \"" + std::string(kRegisteredCameraName) + "\" (the system's plugin).";
    return true;
  }
  std::error_code error;
  const fs::path plugin = fs::canonical(pluginFile, error);
  if (error || !fs::is_regular_file(plugin, error)) {
    message = "The camera plugin " + pluginFile + " was not found.";
    return false;
  }
  const fs::path folder = UserPluginFolder();
  fs::create_directories(folder, error);
  if (error) {
    message = "Could not create " + folder.string() + ": " + error.message();
    return false;
  }
  const fs::path link = folder / kPluginFileName;
  if (fs::is_symlink(fs::symlink_status(link, error)) || fs::exists(fs::symlink_status(link, error))) {
    fs::remove(link, error);
    if (error) {
      message = "Could not replace " + link.string() + ": " + error.message();
      return false;
    }
  }
  fs::create_symlink(plugin, link, error);
  if (error) {
    message = "Could not link " + link.string() + ": " + error.message();
    return false;
  }

  if (!WriteDeviceEntry(message)) return false;
  message = "Registered the camera \"" + std::string(kRegisteredCameraName) + "\" (" + link.string() + " -> " +
            plugin.string() + ").";
  return true;
}

bool UnregisterOstrel(std::string& message) {
  std::error_code error;
  const fs::path link = fs::path(UserPluginFolder()) / kPluginFileName;
  fs::remove(link, error);
  if (error) {
    message = "Could not remove " + link.string() + ": " + error.message();
    return false;
  }
  int code = 0;
  if (!RegistryStore::DeleteKey(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code)) {
    message = "Could not remove the camera's entry from " + RegistryStore::FilePath() + ": " + std::strerror(code);
    return false;
  }
  if (platform::IsPackagedProgram() && !RegistryStore::CreateKey(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code)) {
    message = "Could not hide the camera in " + RegistryStore::FilePath() + ": " + std::strerror(code);
    return false;
  }
  message = "Unregistered the camera.";
  return true;
}

}  // namespace kalimo
