// The log's text helpers, shared by every build of the log (log4cplus here, stderr on Windows).
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/Logging.h"

namespace kalimo::log {

std::string SourceName(const char* filePath) {
  if (!filePath) return {};
  return std::filesystem::path(filePath).stem().string();
}

std::string Format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    text.assign(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(arguments);
  return text;
}

}  // namespace kalimo::log
