#pragma once
// The program's log: log4cplus's root logger. Each record carries its level, the message, the
// source name (the file's base name without extension) and the line of the logging statement.
#include <string>

namespace kalimo::log {

enum class Level { Debug = 10000, Info = 20000, Error = 40000 };

// Configures log4cplus from "log4trovella.properties" in the program folder, else in the working
// folder, if it exists.
// The properties may refer to ${KALIMO_LOG_DIR}, which is set beforehand to the folder of the
// user's log: the program folder, or for a packaged program $XDG_STATE_HOME/kalimo.
// Returns true when the file was found and applied.
bool Configure();

// Flushes and closes every appender (the last step of shutdown).
void Shutdown();

// "/src/common/ApplyDataToOstrel.cpp" -> "ApplyDataToOstrel".
std::string SourceName(const char* filePath);

bool IsEnabled(Level level);
void Write(Level level, const std::string& message, const char* filePath, int line);

// printf-style formatting for the system's log texts, which are given as printf formats.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kalimo::log

#define KALIMO_LOG(level, ...)                                                                  \
  do {                                                                                          \
    if (::kalimo::log::IsEnabled(level))                                                        \
      ::kalimo::log::Write(level, ::kalimo::log::Format(__VA_ARGS__), __FILE__, __LINE__);      \
  } while (false)
#define KALIMO_LOG_ERROR(...) KALIMO_LOG(::kalimo::log::Level::Error, __VA_ARGS__)
#define KALIMO_LOG_INFO(...) KALIMO_LOG(::kalimo::log::Level::Info, __VA_ARGS__)
#define KALIMO_LOG_DEBUG(...) KALIMO_LOG(::kalimo::log::Level::Debug, __VA_ARGS__)
