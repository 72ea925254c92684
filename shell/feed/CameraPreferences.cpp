#include "shell/feed/CameraPreferences.h"

#include <cerrno>

#include "common/Messages.h"
#include "platform/RegistryStore.h"

namespace kalimo::feed {

namespace {

// Writes one on/off choice (a DWORD of 1 or 0) into the camera's device entry.
bool StoreCameraChoice(const char* value, bool on, std::string& error) {
  using platform::RegistryRoot;
  using platform::RegistryStore;
  int code = 0;
  if (!RegistryStore::KeyExists(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code)) {
    error = code == 0 || code == ENOENT ? "the virtual camera is not registered (run ostrel-register first)"
                                        : SystemErrorText(code);
    return false;
  }
  if (!RegistryStore::WriteDword(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, value, on ? 1 : 0, code)) {
    error = SystemErrorText(code);
    return false;
  }
  return true;
}

}  // namespace

bool StoreCameraLowLatency(bool lowLatency, std::string& error) {
  return StoreCameraChoice(platform::kLowLatencyValue, lowLatency, error);
}

bool StoreCameraKeepAspect(bool keepAspect, std::string& error) {
  return StoreCameraChoice(platform::kKeepAspectValue, keepAspect, error);
}

}  // namespace kalimo::feed
