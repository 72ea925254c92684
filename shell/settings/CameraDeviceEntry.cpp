#include "shell/settings/CameraDeviceEntry.h"

#include "common/Logging.h"
#include "platform/ProgramPaths.h"
#include "platform/RegistryStore.h"

namespace kalimo {

namespace {
using platform::RegistryStore;
constexpr auto kRoot = platform::RegistryRoot::kClassesRoot;

bool EntryExists() {
  int error = 0;
  if (RegistryStore::KeyExists(kRoot, platform::kCameraInstanceKey, error)) return true;
  // The packaged camera is there for every user: one without an entry has it under the registered
  // name, made into an entry now so that renaming it works as for a registered one.
  if (!platform::IsPackagedProgram()) return false;
  return RegistryStore::CreateKey(kRoot, platform::kCameraInstanceKey, error) &&
         RegistryStore::WriteString(kRoot, platform::kCameraInstanceKey, platform::kFriendlyNameValue,
                                    platform::kRegisteredCameraName, error);
}
}  // namespace

std::optional<std::string> ReadCameraFriendlyName() {
  if (!EntryExists()) return std::nullopt;
  int error = 0;
  auto name = RegistryStore::ReadString(kRoot, platform::kCameraInstanceKey, platform::kFriendlyNameValue, error);
  if (!name) KALIMO_LOG_DEBUG("获得虚拟设备名称失败，失败的代码是%d", error);
  return name;
}

void WriteCameraFriendlyName(const std::string& name) {
  if (!EntryExists()) return;
  int error = 0;
  if (!RegistryStore::WriteString(kRoot, platform::kCameraInstanceKey, platform::kFriendlyNameValue,
                                  FirstCharacters(name, kMaxCameraNameCharacters), error)) {
    KALIMO_LOG_DEBUG("修改名称失败，失败的代码是%d", error);
  }
}

std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == count) return text.substr(0, i);
  }
  return text;
}

std::optional<bool> ReadCameraChoice(const char* valueName) {
  if (!EntryExists()) return std::nullopt;
  int error = 0;
  const auto value = RegistryStore::ReadDword(kRoot, platform::kCameraInstanceKey, valueName, error);
  return value.value_or(0) != 0;
}

bool WriteCameraChoice(const char* valueName, bool on) {
  if (!EntryExists()) return false;
  int error = 0;
  if (RegistryStore::WriteDword(kRoot, platform::kCameraInstanceKey, valueName, on ? 1 : 0, error)) return true;
  KALIMO_LOG_ERROR("the camera choice %s cannot be written: error %d", valueName, error);
  return false;
}

}  // namespace kalimo
