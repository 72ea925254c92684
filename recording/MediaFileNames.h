#pragma once
// Names and numbers of photo and movie files, in the flat and the dated layout.
//   flat:  <folder>/M20120917_0001.avi, <folder>/S20120917_0001.jpg
//   dated: <folder>/20120917/000/Movie0000.avi, <folder>/20120917/000/SingleShot0000.jpg
#include <functional>
#include <string>

namespace kalimo {

enum class MediaKind { Movie, Photo };

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The local date, or the date of the function installed for tests (empty restores the clock).
CalendarDate Today();
void SetTodayFunction(std::function<CalendarDate()> today);
// "%04d%02d%02d": 2012-09-17 gives "20120917".
std::string DateText(const CalendarDate& date);

// The next name in `folder` for the flat layout; creates nothing and always yields a name.
std::string FlatLayoutFileName(const std::string& folder, MediaKind kind);
// The next name below `folder` for the dated layout, creating the day and numbered subfolders
// as needed; empty when a folder cannot be created (EnsureFolder has shown why).
std::string DatedLayoutFileName(const std::string& folder, MediaKind kind);
// The flat layout for `autoCreatingFolder` 0, else the dated one; empty for an empty folder.
std::string MakeMediaFileName(const std::string& folder, MediaKind kind, int autoCreatingFolder);

// With the layout of the current settings.
std::string MakeMovieFileName(const std::string& movieFolder);
std::string MakeSnapshotFileName(const std::string& photoFolder);

}  // namespace kalimo
