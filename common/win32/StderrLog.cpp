// The log of the Windows programs, which have no log4cplus: every record goes to stderr as
// "LEVEL source:line message".
#include <cstdio>

#include "common/Logging.h"

namespace kalimo::log {

bool Configure() { return false; }

void Shutdown() { std::fflush(stderr); }

bool IsEnabled(Level level) { return level >= Level::Info; }

void Write(Level level, const std::string& message, const char* filePath, int line) {
  const char* name = level == Level::Error ? "ERROR" : level == Level::Info ? "INFO" : "DEBUG";
  std::fprintf(stderr, "%s %s:%d %s\n", name, SourceName(filePath).c_str(), line, message.c_str());
}

}  // namespace kalimo::log
