#pragma once
// Whole-file reading and writing for the bookmark import and export.
#include <optional>
#include <string>
#include <string_view>

namespace kalimo {

// Every byte of the file; empty (nothing) when it cannot be opened or read (logged at ERROR) or
// when it is empty (not logged).
std::optional<std::string> ReadWholeFile(const std::string& path);

// Creates `path` as a new file (fails when it exists) and writes `bytes` through to the disk.
// A file left incomplete by a failed write is removed again.
bool WriteNewFile(const std::string& path, std::string_view bytes);

// Writes the UTF-8 `text` as GB18030 followed by one zero byte to the new file `path`.
bool WriteTextFile(const std::string& text, const std::string& path);

}  // namespace kalimo
