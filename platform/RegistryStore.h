#pragma once
// A small per-user key/value store with the registry's key paths and value names, kept in one
// UTF-8 text file ($XDG_CONFIG_HOME/kalimo/registry.reg, in the style of a REGEDIT4 export):
//
//   [HKEY_CLASSES_ROOT\CLSID\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\Instance\Virtual Camera]
//   "FriendlyName"="Kalimo摄像头"
//
// Key paths and value names compare case-insensitively (ASCII), as in the registry. Every change
// re-reads the file under an exclusive lock and replaces it atomically, so the virtual camera, its
// registration and the settings dialog can use it at the same time. A line that cannot be read is
// skipped (reported on standard error with its line number, once per process) and written back
// exactly as it was by every later save, so a damaged line neither hides the other entries nor
// gets lost.
#include <cstdint>
#include <optional>
#include <string>

namespace kalimo::platform {

enum class RegistryRoot { kClassesRoot, kCurrentUser };

// Where an entry lives. Volatile entries (the registry's REG_OPTION_VOLATILE keys) are kept in a
// second store file in the user's runtime folder ($XDG_RUNTIME_DIR/kalimo/registry.reg), which
// the system empties when the user's session ends.
enum class RegistryLifetime { kPersistent, kVolatile };

// The device entry of the virtual camera and its value, shared by the registration, the camera's
// device provider and the settings dialog.
inline constexpr const char* kCameraInstanceKey =
    "CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\Virtual Camera";
inline constexpr const char* kFriendlyNameValue = "FriendlyName";
// The friendly name the registration gives the virtual camera (the name applications list), and
// the name of the packaged camera for a user without an entry.
inline constexpr const char* kRegisteredCameraName = "Kalimo摄像头";
// 1: cameras deliver the newest picture (low latency) unless a client says otherwise; 0 or missing:
// the steady default, the oldest of the last few pictures.
inline constexpr const char* kLowLatencyValue = "LowLatency";
// 1: a picture of another shape than the output is scaled to fit, centred, the rest black; 0 or
// missing: it is stretched over the whole output.
inline constexpr const char* kKeepAspectValue = "KeepAspect";

class RegistryStore {
 public:
  using Lifetime = RegistryLifetime;
  static constexpr Lifetime kPersistent = RegistryLifetime::kPersistent;

  // The store file of the current user.
  static std::string FilePath(Lifetime lifetime = kPersistent);

  static bool KeyExists(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime = kPersistent);
  // Creates the key (and the store file) if missing; an existing key keeps its values.
  static bool CreateKey(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime = kPersistent);
  // Removes the key, its values and every key below it. A missing key is not an error.
  static bool DeleteKey(RegistryRoot root, const std::string& key, int& error, Lifetime lifetime = kPersistent);

  // Values can be read and written only in existing keys (ENOENT otherwise), as RegOpenKeyEx
  // followed by RegQueryValueEx / RegSetValueEx would.
  static std::optional<std::string> ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                                               int& error, Lifetime lifetime = kPersistent);
  static bool WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                          const std::string& value, int& error, Lifetime lifetime = kPersistent);
  static std::optional<std::uint32_t> ReadDword(RegistryRoot root, const std::string& key, const std::string& name,
                                                int& error, Lifetime lifetime = kPersistent);
  static bool WriteDword(RegistryRoot root, const std::string& key, const std::string& name, std::uint32_t value,
                         int& error, Lifetime lifetime = kPersistent);
};

}  // namespace kalimo::platform
