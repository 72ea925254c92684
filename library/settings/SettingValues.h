#pragma once
// One record of the program's settings. Records are values: readers work on their own copy.
#include <cstdint>
#include <string>

namespace kalimo {

struct SettingValues {
  // Fresh records start from the built-in defaults; `resourcesPath` is the default storage root.
  SettingValues();

  std::int32_t frameWidth = 640;   // never read from the file: largest snapshot width, recording check
  std::int32_t frameHeight = 480;  // likewise
  std::int32_t movieResolution = 1;  // 0: 320 x 240, anything else: 640 x 480
  std::string resourcesPath;         // the storage root
  std::string storageFolder;         // derived: root + "/Kalimo"; not stored in the file
  std::int32_t movieSizeMax = 16;
  std::int32_t shotsOfTimedShot = 60;
  std::int32_t minutesOfTimedShot = 60;
  std::int32_t autoCreatingFolder = 0;  // non-zero: photos and movies go to dated, numbered subfolders
  std::int32_t makingTimeOneFrame = 1;
  std::string makingMoviePath;
  std::int32_t makingMovieResolution = 1;
  std::int32_t language = -1;

  bool operator==(const SettingValues&) const = default;
};

}  // namespace kalimo
