#pragma once
// Starting the main program when a client begins streaming and it is not running.
#include <optional>
#include <string>

namespace kalimo {

// The program's file name, found beside the module (plugin or DLL) file.
#ifdef _WIN32
inline constexpr const char* kMainProgramName = "Kalimo.exe";
#else
inline constexpr const char* kMainProgramName = "kalimo";
#endif

// The path of `name` in the folder of the real (symlinks resolved) module file.
std::optional<std::string> GetModuleFilePath(const std::string& name);

// Does nothing while the main program serves its single-instance endpoint; otherwise starts
// "kalimo" from the module's folder (the packaged plugin: from the program's installed folder when
// the module's has none), detached. Nothing is retried.
void LaunchMainProgram();

}  // namespace kalimo
