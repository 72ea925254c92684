#pragma once
// The settings store: "config.ini" in the program folder, loaded once, handed out as copies to
// any thread, written back on save; and the folders derived from it. Paths are UTF-8 with "/".
#include <string>

#include "library/settings/SettingValues.h"

namespace kalimo {

inline constexpr const char* kConfigFileName = "config.ini";
inline constexpr const char* kStorageFolderName = "Kalimo";
inline constexpr const char* kPhotoFolderName = "照片";
inline constexpr const char* kMovieFolderName = "录像";
// The camera name setting ([usingsetting] name) when config.ini holds none.
inline constexpr const char* kUnsetCameraNameSetting = "Virtual Camera";

// Makes the process-wide store and loads "config.ini" into it, if there is no store yet. Every
// operation below that needs the store makes it first if needed.
void CreateSettingParams();
// Deletes the store (at exit, after the last reader).
void DestroySettingParams();

// A copy of the current record, taken under the store's lock; safe from any thread.
SettingValues GetCurrentSettings();

// Writes `values` to [usingsetting] of "config.ini", then makes them the current record (the
// current one becomes the previous one). The records change even when the file cannot be
// written; the result says whether it was.
bool SaveSettings(const SettingValues& values);

// Stores `path` without trailing "/" (a lone "/" stays) as the record's storage root and derives
// its storage folder. Changes only `values`; the caller saves them.
void SetStorageRoot(SettingValues& values, const std::string& path);

// root + "/Kalimo", or the root itself when its last folder already is "Kalimo"; empty for an
// empty root.
std::string DeriveStorageFolder(const std::string& resourcesPath);

std::string GetPhotoFolder(const SettingValues& values);  // storageFolder + "/照片"
std::string GetMovieFolder(const SettingValues& values);  // storageFolder + "/录像"

// The program folder, ending in "/".
std::string GetProgramFolder();
// The program folder followed by `relativePath` (e.g. "image/capturescreenintro.jpg").
std::string GetProgramFilePath(const std::string& relativePath);
// Where the user's "config.ini" is: in the program folder, or for a packaged program in the user's
// config folder, where the first call copies the program folder's "config.ini" (the shipped
// settings) when the user has none yet. Empty when the user's folder cannot be made.
std::string GetConfigPath();

// The user's Videos folder, else the Documents folder; empty when neither is known.
std::string GetDefaultStorageRoot();

// Values read once at load and never changed afterwards.
std::string CameraName();  // [usingsetting] name: the virtual camera's name, skipped in camera lists
std::string OemCompanyName();
std::string OemProductName();
std::string OemWebSite();

}  // namespace kalimo
