#include <cstdlib>
#include <string>

#include "platform/ReceiverPlatform.h"

namespace kalimo::platform {

// The machine-wide name every process sees; KALIMO_SECTION gives tests and side-by-side set-ups
// their own section.
std::string FrameSectionName() {
  const char* name = std::getenv("KALIMO_SECTION");
  if (name && *name) return name;
  return "Global\\MyFileMappingObject444";
}

}  // namespace kalimo::platform
