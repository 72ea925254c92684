#include "filter/core/LaunchMainProgram.h"

#include "filter/core/FilterLog.h"
#include "platform/ReceiverPlatform.h"

namespace kalimo {

std::optional<std::string> GetModuleFilePath(const std::string& name) {
  int error = 0;
  std::string path = platform::ModuleFilePath(name, error);
  if (path.empty()) {
    platform::DebugOutput(FormatLog("Fail to get corvessa path error code = %d", error));
    return std::nullopt;
  }
  return path;
}

void LaunchMainProgram() {
  if (platform::MainProgramIsRunning()) return;
  const auto path = GetModuleFilePath(kMainProgramName);
  if (!path) return;
  int error = 0;
  if (!platform::StartDetachedProgram(*path, error)) {
    platform::DebugOutput(FormatLog("Could not start the main program, error code = %d\n", error));
  }
}

}  // namespace kalimo
