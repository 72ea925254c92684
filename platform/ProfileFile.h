#pragma once
// INI ("profile") files with the semantics of the Windows profile functions the settings rely on:
// section and key names match without regard to ASCII case, the first matching section and key
// win, values are trimmed and lose one pair of enclosing quotes, a missing file, section or key
// gives the caller's default, and writing creates the file, the section and the key as needed
// while every other line of the file stays as it was. Files are UTF-8 text.
#include <string>
#include <utility>
#include <vector>

namespace kalimo::platform {

// The text of `key` in `section`, or `defaultValue` when the file, section or key is missing.
std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue);

// The value of `key` read as an integer the way the profile functions read it (see
// ParseProfileInt); `defaultValue` when the file, section or key is missing or the value is empty.
int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key, int defaultValue);

// Leading characters up to the space are skipped, one sign is allowed, decimal digits are read
// up to the first other character (none gives 0), and the result wraps around at 32 bits.
int ParseProfileInt(const std::string& text);

// Sets `key` in `section` to `value`. False when the file could not be written; the old file
// then stays untouched (the new content replaces it in one rename).
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

// Sets several keys of one section in one replace of the file, in the given order.
bool WriteProfileStrings(const std::string& path, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues);

}  // namespace kalimo::platform
