#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/FileWriting.h"
#include "platform/PlainText.h"

namespace kalimo::platform {

namespace {

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The lines of an INI file as they are, so that a write changes only the lines it must.
struct IniDocument {
  std::vector<std::string> lines;  // without line ends
  std::string lineEnd = "\n";
  bool hasBom = false;

  static IniDocument Parse(std::string text) {
    IniDocument document;
    if (text.rfind(kUtf8Bom, 0) == 0) {
      document.hasBom = true;
      text.erase(0, 3);
    }
    if (text.find("\r\n") != std::string::npos) document.lineEnd = "\r\n";
    document.lines = SplitLines(text);
    return document;
  }

  std::string Text() const {
    std::string text = hasBom ? kUtf8Bom : "";
    for (const std::string& line : lines) text += line + lineEnd;
    return text;
  }

  // The section name of a "[name]" line.
  static std::optional<std::string> SectionName(const std::string& line) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const std::size_t close = trimmed.rfind(']');
    const std::size_t end = (close == std::string::npos || close == 0) ? trimmed.size() : close;
    return Trim(trimmed.substr(1, end - 1));
  }

  // The key of a "key=value" line.
  static std::optional<std::string> KeyName(const std::string& line) {
    if (SectionName(line)) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return std::nullopt;
    return Trim(line.substr(0, equals));
  }

  // The line of the first section of that name, or -1.
  std::ptrdiff_t FindSection(const std::string& section) const {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (auto name = SectionName(lines[i]); name && EqualsIgnoringAsciiCase(*name, section)) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
    return -1;
  }

  // The line after the last line of the section that starts at `header`.
  std::size_t SectionEnd(std::size_t header) const {
    std::size_t end = header + 1;
    while (end < lines.size() && !SectionName(lines[end])) ++end;
    return end;
  }

  std::ptrdiff_t FindKey(std::size_t header, const std::string& key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
      if (auto name = KeyName(lines[i]); name && EqualsIgnoringAsciiCase(*name, key)) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
    return -1;
  }

  std::optional<std::string> Value(const std::string& section, const std::string& key) const {
    const std::ptrdiff_t header = FindSection(section);
    if (header < 0) return std::nullopt;
    const std::ptrdiff_t line = FindKey(static_cast<std::size_t>(header), key);
    if (line < 0) return std::nullopt;
    const std::string& text = lines[static_cast<std::size_t>(line)];
    std::string value = Trim(text.substr(text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    std::ptrdiff_t header = FindSection(section);
    if (header < 0) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + section + "]");
      header = static_cast<std::ptrdiff_t>(lines.size() - 1);
    }
    const auto headerLine = static_cast<std::size_t>(header);
    const std::ptrdiff_t existing = FindKey(headerLine, key);
    if (existing >= 0) {
      std::string& line = lines[static_cast<std::size_t>(existing)];
      line = line.substr(0, line.find('=')) + "=" + value;
      return;
    }
    // A new key goes after the section's last non-blank line.
    std::size_t insertAt = SectionEnd(headerLine);
    while (insertAt > headerLine + 1 && Trim(lines[insertAt - 1]).empty()) --insertAt;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
  }
};

// A value that would lose characters to trimming or quote stripping is written in quotes, which
// the reader takes off again.
std::string EncodeValue(const std::string& value) {
  if (value.empty()) return value;
  const bool edgeBlank = IsBlank(value.front()) || IsBlank(value.back());
  const bool quoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return (edgeBlank || quoted) ? "\"" + value + "\"" : value;
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

std::optional<std::string> ReadFile(const std::string& path) {
  // Only regular files: a pipe or a folder in the file's place must neither hang nor be read.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return content.str();
}

// Writes `bytes` to a fresh file beside `path`, flushes it to the disk and renames it over `path`:
// readers see the old file or the new one, never a part.
bool ReplaceFile(const std::string& requestedPath, const std::string& bytes) {
  std::error_code error;
  std::filesystem::path path = requestedPath;
  // Write through a symbolic link instead of replacing the link.
  if (std::filesystem::is_symlink(path, error)) {
    path = std::filesystem::weakly_canonical(path, error);
    if (error) return false;
  }
  std::string temporary = path.string() + ".XXXXXX";
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0) return false;
  struct stat existing {};
  const mode_t mode = (::stat(path.c_str(), &existing) == 0) ? (existing.st_mode & 07777) : 0644;
  if (::fchmod(descriptor, mode) != 0) {
    CloseAndDiscard(descriptor, temporary);
    return false;
  }
  int code = 0;
  return WriteAndReplace(descriptor, temporary, path.string(), bytes, code) == ReplaceResult::kReplaced;
}

}  // namespace

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
  const std::optional<std::string> text = ReadFile(path);
  if (!text) return defaultValue;
  return IniDocument::Parse(*text).Value(section, key).value_or(defaultValue);
}

int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key, int defaultValue) {
  const std::string text = ReadProfileString(path, section, key, "");
  if (text.empty()) return defaultValue;
  return ParseProfileInt(text);
}

int ParseProfileInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t total = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    total = total * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) total = 0u - total;
  return static_cast<int>(total);
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  return WriteProfileStrings(path, section, {{key, value}});
}

bool WriteProfileStrings(const std::string& path, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues) {
  // A line break would end the line early and turn the rest of the value into lines of its own.
  if (section.empty() || HasLineBreak(section) || section.find(']') != std::string::npos) return false;
  for (const auto& [key, value] : keyValues) {
    if (Trim(key).empty() || HasLineBreak(key) || key.find('=') != std::string::npos || HasLineBreak(value)) {
      return false;
    }
  }
  std::error_code error;
  const bool exists = std::filesystem::exists(path, error);
  const std::optional<std::string> text = exists ? ReadFile(path) : std::string();
  // An existing file that cannot be read would be replaced by only the new keys: keep it.
  if (!text) return false;
  IniDocument document = IniDocument::Parse(*text);
  for (const auto& [key, value] : keyValues) document.Set(section, Trim(key), EncodeValue(value));
  return ReplaceFile(path, document.Text());
}

}  // namespace kalimo::platform
