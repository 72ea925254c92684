#include "common/Logging.h"

#include <log4cplus/configurator.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ProgramPaths.h"

namespace kalimo::log {

namespace {
constexpr const char* kPropertiesFile = "log4trovella.properties";

void EnsureInitialized() {
  static const bool initialized = [] {
    log4cplus::initialize();
    return true;
  }();
  (void)initialized;
}
}  // namespace

bool Configure() {
  EnsureInitialized();
  setenv("KALIMO_LOG_DIR", platform::UserFilesDirectory(platform::UserFiles::Log).c_str(), 1);
  // The program folder's file, wherever the program was started from (the desktop, the camera, a
  // terminal in any folder); the working folder's when the program folder has none.
  std::string properties = platform::ProgramDirectory() + "/" + kPropertiesFile;
  std::error_code error;
  if (!std::filesystem::is_regular_file(properties, error)) properties = kPropertiesFile;
  if (!std::filesystem::exists(properties, error)) return false;
  log4cplus::PropertyConfigurator configurator(properties, log4cplus::Logger::getDefaultHierarchy(),
                                               log4cplus::PropertyConfigurator::fShadowEnvironment);
  configurator.configure();
  return true;
}

void Shutdown() { log4cplus::Logger::shutdown(); }

bool IsEnabled(Level level) {
  EnsureInitialized();
  return log4cplus::Logger::getRoot().isEnabledFor(static_cast<log4cplus::LogLevel>(level));
}

void Write(Level level, const std::string& message, const char* filePath, int line) {
  EnsureInitialized();
  const std::string source = SourceName(filePath);
  log4cplus::Logger::getRoot().forcedLog(static_cast<log4cplus::LogLevel>(level), message, source.c_str(), line);
}

}  // namespace kalimo::log
