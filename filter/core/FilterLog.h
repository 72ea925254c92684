#pragma once
// The virtual camera's own log, "logvam.log" in the user's Zemvio folder. Messages are appended as
// they are (they carry their own "\r\n"); the log stops growing past 1 MiB; the folder is never
// created, so a user who wants the log creates it.
#include <cstdint>
#include <string>

namespace kalimo {

inline constexpr std::uint64_t kLogSizeLimit = 1048576;

// The path of `name` in the Zemvio folder, or empty when the user's folder is unknown.
std::string GetUserDataFile(const std::string& name);

// False when the message is missing, the file cannot be opened or written, or the log is full.
bool WriteLog(const char* message);
bool WriteLog(const std::string& message);

// printf-style formatting of one log line.
std::string FormatLog(const char* format, int value);

}  // namespace kalimo
