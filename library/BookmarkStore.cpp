#include "library/BookmarkStore.h"

#include <cstdio>

#include "library/ListFile.h"
#include "library/WholeFileIo.h"
#include "platform/TextEncoding.h"

namespace kalimo {

namespace {

constexpr char kRowSeparator = '\\';
constexpr char kTimeSeparator = '-';

// Decimal digits up to the first other character, capped at kMaxTimePart.
std::int64_t ReadTimePart(const std::string& text) {
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value >= kMaxTimePart) return kMaxTimePart;
  }
  return value;
}

std::size_t CountCharacters(const std::string& utf8) {
  std::size_t count = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

bool FitsListFile(const std::string& line) {
  const std::optional<std::string> narrow = platform::Utf8ToGb18030(line);
  return narrow && !narrow->empty() && narrow->size() <= ListFile::kMaxEntryBytes;
}

}  // namespace

std::string JoinBookmarkRows(const std::vector<Bookmark>& rows) {
  std::string text;
  for (const Bookmark& row : rows) {
    if (!text.empty()) text += kRowSeparator;
    text += row.name + kTimeSeparator + row.time;
  }
  return text;
}

std::vector<Bookmark> ParseBookmarkText(const std::string& text) {
  std::vector<Bookmark> rows;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(kRowSeparator, start);
    if (end == std::string::npos) end = text.size();
    const std::string piece = text.substr(start, end - start);
    const std::size_t dash = piece.find(kTimeSeparator);
    if (dash != std::string::npos && dash > 0 && dash + 1 < piece.size()) {
      rows.push_back({piece.substr(0, dash), piece.substr(dash + 1)});
    }
    start = end + 1;
  }
  return rows;
}

std::optional<BookmarkTime> ParseBookmarkTime(const std::string& text) {
  const std::size_t first = text.find(':');
  if (first == std::string::npos || first == 0) return std::nullopt;
  const std::string rest = text.substr(first + 1);
  const std::size_t second = rest.find(':');
  if (second == std::string::npos || second == 0) return std::nullopt;
  const std::string hours = text.substr(0, first);
  const std::string seconds = rest.substr(second + 1);
  if (seconds.empty()) return std::nullopt;
  return BookmarkTime{ReadTimePart(hours), ReadTimePart(rest.substr(0, second)), ReadTimePart(seconds)};
}

std::string FormatBookmarkTime(MediaTime position) {
  const std::int64_t total = std::chrono::duration_cast<std::chrono::seconds>(position).count();
  const std::int64_t hours = total / 3600;
  const std::int64_t minutes = (total - hours * 3600) / 60;
  const std::int64_t seconds = total - hours * 3600 - minutes * 60;
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(hours),
                static_cast<long long>(minutes), static_cast<long long>(seconds));
  return text;
}

std::optional<std::string> BookmarkNameProblem(const std::string& name) {
  if (name.find(kTimeSeparator) != std::string::npos) return "动作名称不能包含-字符，谢谢";
  if (name.find(kRowSeparator) != std::string::npos) return "动作名称不能包含\\字符，谢谢";
  if (name.empty()) return "动作名称不能为空";
  return std::nullopt;
}

std::string ExportFilePath(const std::string& chosen) {
  static const std::string suffix = ".txt";
  const std::size_t found = chosen.find(suffix);
  if (found != std::string::npos && found + suffix.size() == chosen.size()) return chosen;
  return chosen + suffix;
}

std::optional<std::string> ImportBookmarkText(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  const std::size_t zero = bytes->find('\0');
  if (zero != std::string::npos) bytes->resize(zero);
  if (bytes->empty()) return std::nullopt;
  return platform::Gb18030ToUtf8(*bytes);
}

bool ExportBookmarkText(const std::string& text, const std::string& path) { return WriteTextFile(text, path); }

std::string BookmarkStore::Key(const std::string& group, const std::string& videoPath) {
  return group + "&" + videoPath;
}

void BookmarkStore::Load() {
  lines_.clear();
  ListFile::LoadList(kFileName, lines_);
}

bool BookmarkStore::Save() const { return ListFile::SaveList(lines_, kFileName); }

std::vector<Bookmark> BookmarkStore::Rows(const std::string& key) const {
  std::vector<Bookmark> rows;
  for (std::size_t i = 0; i + 1 < lines_.size(); ++i) {
    if (lines_[i] == key) rows = ParseBookmarkText(lines_[i + 1]);
  }
  return rows;
}

BookmarkStore::StoreResult BookmarkStore::Store(const std::string& key, const std::vector<Bookmark>& rows) {
  const std::string text = JoinBookmarkRows(rows);
  if (text.empty()) {
    // The list file drops blank lines, so an empty text line cannot be stored: the pair goes.
    for (std::size_t i = 0; i + 1 < lines_.size();) {
      if (lines_[i] == key) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i), lines_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
      } else {
        ++i;
      }
    }
    return StoreResult::kRemoved;
  }
  // A line the list file would leave out would shift every later pair.
  if (CountCharacters(text) >= kMaxTextCharacters || !FitsListFile(text) || !FitsListFile(key)) {
    return StoreResult::kTooLong;
  }
  bool found = false;
  for (std::size_t i = 0; i + 1 < lines_.size(); ++i) {
    if (lines_[i] == key) {
      lines_[i + 1] = text;
      found = true;
    }
  }
  if (!found) {
    lines_.push_back(key);
    lines_.push_back(text);
  }
  return StoreResult::kStored;
}

}  // namespace kalimo
