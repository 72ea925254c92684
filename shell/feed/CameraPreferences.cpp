#include "shell/feed/CameraPreferences.h"

#include <cerrno>

#include "common/Messages.h"
#include "platform/RegistryStore.h"

namespace kalimo::feed {

bool StoreCameraLowLatency(bool lowLatency, std::string& error) {
  using platform::RegistryRoot;
  using platform::RegistryStore;
  int code = 0;
  if (!RegistryStore::KeyExists(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code)) {
    error = code == 0 || code == ENOENT ? "the virtual camera is not registered (run ostrel-register first)"
                                        : SystemErrorText(code);
    return false;
  }
  if (!RegistryStore::WriteDword(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, platform::kLowLatencyValue,
                                 lowLatency ? 1 : 0, code)) {
    error = SystemErrorText(code);
    return false;
  }
  return true;
}

}  // namespace kalimo::feed
