#include "filter/core/FilterLog.h"

#include <cstdio>
#include <cstring>

#include "platform/ReceiverPlatform.h"

namespace kalimo {

std::string GetUserDataFile(const std::string& name) { return platform::UserDataFile("Zemvio", name); }

bool WriteLog(const char* message) {
  if (!message) return false;
  const std::string path = GetUserDataFile("logvam.log");
  if (path.empty()) return false;
  return platform::AppendToFile(path, message, std::strlen(message), kLogSizeLimit) ==
         platform::AppendResult::kWritten;
}

bool WriteLog(const std::string& message) { return WriteLog(message.c_str()); }

std::string FormatLog(const char* format, int value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace kalimo
