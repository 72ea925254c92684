#pragma once
// "Global\X" -> "Local\X": where the frame section lives when its writer may not create global
// objects. Empty for a name outside the global namespace.
#include <string>

namespace kalimo::platform {

inline std::string SessionSectionName(const std::string& name) {
  static const std::string global = "Global\\";
  if (name.compare(0, global.size(), global) != 0) return {};
  return "Local\\" + name.substr(global.size());
}

}  // namespace kalimo::platform
