#include "filter/core/LaunchMainProgram.h"

#include <filesystem>

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
  std::optional<std::string> path = GetModuleFilePath(kMainProgramName);
#ifdef KALIMO_PACKAGED_PROGRAM_DIR
  // The packaged plugin lies in the system's plugin folder, the program in a folder of its own.
  std::error_code missing;
  if (!path || !std::filesystem::is_regular_file(*path, missing))
    path = std::string(KALIMO_PACKAGED_PROGRAM_DIR) + "/" + kMainProgramName;
#endif
  if (!path) return;
  int error = 0;
  if (!platform::StartDetachedProgram(*path, error)) {
    platform::DebugOutput(FormatLog("Could not start the main program, error code = %d\n", error));
  }
}

}  // namespace kalimo
