#pragma once
// Video bookmarks ("actions"): named moments of one video of one group, kept in the list file
// "actionAndMovie.dat" as line pairs: the key line "group&path", then the bookmarks of that video
// as one text line "name-hh:mm:ss\name-hh:mm:ss...". A key is found only by being equal to the
// key looked for; its value is the line that follows it. All text is UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/MediaTime.h"

namespace kalimo {

struct Bookmark {
  std::string name;
  std::string time;  // "hh:mm:ss", not checked when read
  bool operator==(const Bookmark&) const = default;
};

// A time text read by ParseBookmarkTime.
struct BookmarkTime {
  std::int64_t hours = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;
  std::int64_t TotalSeconds() const { return hours * 3600 + minutes * 60 + seconds; }
};

// The bookmarks joined as name "-" time, separated by "\".
std::string JoinBookmarkRows(const std::vector<Bookmark>& rows);
// The bookmarks of a joined text; a piece without "-", an empty name or an empty time is skipped.
std::vector<Bookmark> ParseBookmarkText(const std::string& text);

// "h:m:s": hours before the first ":" (not at the start), minutes up to the next ":" (not at the
// start of the rest), seconds after it; hours and seconds must not be empty. Each part is read as
// decimal digits up to the first other character (none read as 0). A part is capped at
// kMaxTimePart so that the time in 100-ns units always fits 64 bits.
std::optional<BookmarkTime> ParseBookmarkTime(const std::string& text);
inline constexpr std::int64_t kMaxTimePart = 100'000'000;

// "hh:mm:ss" of a position (whole seconds, truncated; hours beyond 99 take more
// digits).
std::string FormatBookmarkTime(MediaTime position);

// Why a bookmark name cannot be taken (the message to show), or nothing when it can. "-" and "\"
// would split the name when the joined text is read back.
std::optional<std::string> BookmarkNameProblem(const std::string& name);

// The file name of an export: "abc" and "abc.TXT" get ".txt" appended, "abc.txt" stays.
std::string ExportFilePath(const std::string& chosen);
// The joined text of an exported or hand-written file: bytes up to the first zero byte, as
// GB18030. Nothing when the file is missing, unreadable, empty or not GB18030 text.
std::optional<std::string> ImportBookmarkText(const std::string& path);
// Writes `text` to the new file `path` (never replaces a file).
bool ExportBookmarkText(const std::string& text, const std::string& path);

class BookmarkStore {
 public:
  static constexpr const char* kFileName = "actionAndMovie.dat";
  // A joined text must stay below this many characters.
  static constexpr std::size_t kMaxTextCharacters = 260;
  static constexpr const char* kTooManyMessage = "动作过多，不能保存";

  enum class StoreResult { kStored, kRemoved, kTooLong };

  static std::string Key(const std::string& group, const std::string& videoPath);

  // Replaces the lines by those of the list file (none when it is missing).
  void Load();
  // Writes the lines back to the list file; false when the file could not be replaced.
  bool Save() const;

  const std::vector<std::string>& Lines() const { return lines_; }
  // The bookmarks stored under `key` (its last occurrence); none when it is not there.
  std::vector<Bookmark> Rows(const std::string& key) const;
  // Puts `rows` under `key`: every occurrence's text line is replaced, or the pair is appended.
  // No rows remove every occurrence of the key with its text line, so that deleted bookmarks do
  // not come back. A pair whose key or text would be too long for the list file (or a text of
  // kMaxTextCharacters or more) leaves the store as it was: kTooLong.
  StoreResult Store(const std::string& key, const std::vector<Bookmark>& rows);

 private:
  std::vector<std::string> lines_;
};

}  // namespace kalimo
