#include "recording/MediaFileNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <vector>

#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"

namespace kalimo {

namespace {

std::mutex todayLock;
std::function<CalendarDate()>& TodayFunction() {
  static std::function<CalendarDate()> today;
  return today;
}

// Numbers are kept far below overflow: a name with more digits than this is not ours.
constexpr std::size_t kMaxDigits = 15;

struct DirectoryEntry {
  std::string name;
  bool isDirectory = false;
};

// Every entry except "." and ".."; empty when the folder cannot be listed.
std::vector<DirectoryEntry> ListFolder(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return entries;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat status {};
      isDirectory = ::stat((folder + "/" + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }
    entries.push_back({name, isDirectory});
  }
  ::closedir(directory);
  return entries;
}

bool AllDigits(const std::string& text) {
  if (text.size() > kMaxDigits) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The value of the leading decimal digits (0 without any).
long long LeadingNumber(const std::string& text) {
  long long value = 0;
  for (std::size_t i = 0; i < text.size() && i < kMaxDigits && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

struct FlatName {
  std::string date;
  long long number = 0;
};

// "M20120917_0001.avi" -> date "20120917", number 1; names of another form are not ours.
std::optional<FlatName> ParseFlatName(const std::string& name) {
  const auto underscore = name.find('_');
  if (underscore == std::string::npos) return std::nullopt;
  const std::string date = underscore == 0 ? std::string() : name.substr(1, underscore - 1);
  std::string number = name.substr(underscore + 1);
  const auto dot = number.rfind('.');
  if (dot != std::string::npos && dot != 0) number.resize(dot);
  if (!AllDigits(date) || !AllDigits(number)) return std::nullopt;
  return FlatName{date, LeadingNumber(number)};
}

std::string Format(const char* format, const std::string& text, long long number) {
  char name[64];
  std::snprintf(name, sizeof name, format, text.c_str(), number);
  return name;
}

std::string ThreeDigits(long long number) {
  char text[32];
  std::snprintf(text, sizeof text, "%03lld", number);
  return text;
}

}  // namespace

CalendarDate Today() {
  {
    std::lock_guard guard(todayLock);
    if (TodayFunction()) return TodayFunction()();
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void SetTodayFunction(std::function<CalendarDate()> today) {
  std::lock_guard guard(todayLock);
  TodayFunction() = std::move(today);
}

std::string DateText(const CalendarDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", date.year, date.month, date.day);
  return text;
}

std::string FlatLayoutFileName(const std::string& folder, MediaKind kind) {
  std::optional<std::string> greatestName;
  FlatName greatest;
  for (const DirectoryEntry& entry : ListFolder(folder)) {
    if (entry.isDirectory) continue;
    const std::optional<FlatName> parsed = ParseFlatName(entry.name);
    if (parsed && (!greatestName || entry.name > *greatestName)) {
      greatestName = entry.name;
      greatest = *parsed;
    }
  }
  const std::string today = DateText(Today());
  FlatName next{today, 1};
  if (greatestName && today <= greatest.date) next = {greatest.date, greatest.number + 1};
  const char* pattern = kind == MediaKind::Movie ? "M%s_%04lld.avi" : "S%s_%04lld.jpg";
  return folder + "/" + Format(pattern, next.date, next.number);
}

std::string DatedLayoutFileName(const std::string& folder, MediaKind kind) {
  const std::string prefix = kind == MediaKind::Movie ? "Movie" : "SingleShot";
  const char* extension = kind == MediaKind::Movie ? "avi" : "jpg";
  if (!EnsureFolder(folder)) return {};
  const std::string dayFolder = folder + "/" + DateText(Today());
  if (!EnsureFolder(dayFolder)) return {};

  long long subfolder = 0;
  for (const DirectoryEntry& entry : ListFolder(dayFolder)) subfolder = std::max(subfolder, LeadingNumber(entry.name));
  long long last = -1;
  for (const DirectoryEntry& entry : ListFolder(dayFolder + "/" + ThreeDigits(subfolder))) {
    if (entry.name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = entry.name.substr(prefix.size());
    const auto dot = rest.find('.');
    last = std::max(last, dot == std::string::npos ? 0 : LeadingNumber(rest.substr(0, dot)));
  }
  const long long number = last + 1;
  if (number > 0 && number % 1000 == 0) ++subfolder;

  const std::string subfolderPath = dayFolder + "/" + ThreeDigits(subfolder);
  if (!EnsureFolder(subfolderPath)) return {};
  char name[64];
  std::snprintf(name, sizeof name, "%s%04lld.%s", prefix.c_str(), number, extension);
  return subfolderPath + "/" + name;
}

std::string MakeMediaFileName(const std::string& folder, MediaKind kind, int autoCreatingFolder) {
  if (folder.empty()) return {};
  if (autoCreatingFolder == 0) {
    std::string name = FlatLayoutFileName(folder, kind);
    if (!name.empty()) return name;
  }
  return DatedLayoutFileName(folder, kind);
}

std::string MakeMovieFileName(const std::string& movieFolder) {
  return MakeMediaFileName(movieFolder, MediaKind::Movie, GetCurrentSettings().autoCreatingFolder);
}

std::string MakeSnapshotFileName(const std::string& photoFolder) {
  return MakeMediaFileName(photoFolder, MediaKind::Photo, GetCurrentSettings().autoCreatingFolder);
}

}  // namespace kalimo
