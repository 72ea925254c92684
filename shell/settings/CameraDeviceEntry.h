#pragma once
// What the settings dialog changes in the virtual camera's device entry (the registry entry that
// the camera's registration made): its friendly name and two choices for every application that
// opens the camera afterwards.
#include <cstddef>
#include <optional>
#include <string>

namespace kalimo {

// The entry keeps the name in a field of 200 bytes of UTF-16 with its terminating zero.
inline constexpr std::size_t kMaxCameraNameCharacters = 99;

// The entry's "FriendlyName". Nothing when the entry is missing (the camera is not registered) or
// the value cannot be read; the latter is logged at DEBUG level with the error code.
std::optional<std::string> ReadCameraFriendlyName();

// Writes `name`, cut to kMaxCameraNameCharacters characters, as "FriendlyName". Does nothing
// when the entry is missing; a failed write is logged at DEBUG level with the error code.
void WriteCameraFriendlyName(const std::string& name);

// The first `count` characters of UTF-8 `text` (never a part of a character).
std::string FirstCharacters(const std::string& text, std::size_t count);

// A DWORD choice of the entry ("LowLatency", "KeepAspect"): on when non-zero, off when missing.
// Nothing when the entry is missing.
std::optional<bool> ReadCameraChoice(const char* valueName);
// False when the entry is missing or the value cannot be written.
bool WriteCameraChoice(const char* valueName, bool on);

}  // namespace kalimo
