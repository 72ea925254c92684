#include "media/player/SoundOutput.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "common/Logging.h"

namespace kalimo::media {

bool FindSoundOutput(const std::string& runtimeDir, const std::string& soundDevicesDir) {
  if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
  std::error_code error;
  if (!runtimeDir.empty()) {
    for (const char* socket : {"pulse/native", "pipewire-0"}) {
      if (std::filesystem::exists(std::filesystem::path(runtimeDir) / socket, error)) return true;
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(soundDevicesDir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("pcmC", 0) == 0 && name.back() == 'p') return true;
  }
  return false;
}

bool SoundOutputAvailable() {
  static std::once_flag looked;
  static bool available = false;
  std::call_once(looked, [] {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    available = FindSoundOutput(runtime ? runtime : "", "/dev/snd");
    if (!available) KALIMO_LOG_INFO("no sound server and no sound card: videos play without sound, at their own pace");
  });
  return available;
}

}  // namespace kalimo::media
