#include "library/settings/SettingParams.h"

#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "common/Logging.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"

namespace kalimo {

namespace {

constexpr const char* kDefaultKeyword = "default";
constexpr const char* kOemSection = "oem";
constexpr const char* kDefaultSection = "defaultsetting";
constexpr const char* kUsingSection = "usingsetting";
// Text values are read into 260 UTF-16 units, so they keep at most 259.
constexpr std::size_t kMaxTextUnits = 259;

// Cuts `text` after `maxUnits` UTF-16 units without splitting a character.
std::string LimitToUtf16Units(const std::string& text, std::size_t maxUnits) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (lead >= 0x80 && lead < 0xC0) length = 1;  // a stray continuation byte counts as one unit
    const std::size_t characterUnits = length == 4 ? 2 : 1;
    if (units + characterUnits > maxUnits) return text.substr(0, i);
    units += characterUnits;
    i += length;
  }
  return text;
}

std::string ReadText(const std::string& path, const char* section, const char* key, const char* defaultValue) {
  return LimitToUtf16Units(platform::ReadProfileString(path, section, key, defaultValue), kMaxTextUnits);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return {};
  return (folder.back() == '/' ? folder : folder + "/") + name;
}

SettingValues ReadSection(const std::string& path, const char* section) {
  SettingValues values;
  values.shotsOfTimedShot = platform::ReadProfileInt(path, section, "shotsoftimedshot", 60);
  values.minutesOfTimedShot = platform::ReadProfileInt(path, section, "minutesoftimedshot", 60);
  const std::string root = ReadText(path, section, "resourcespath", kDefaultKeyword);
  // An empty root would put the photo and movie folders at the top of the file system.
  values.resourcesPath = (root == kDefaultKeyword || root.empty()) ? GetDefaultStorageRoot() : root;
  values.storageFolder = DeriveStorageFolder(values.resourcesPath);
  const std::string moviePath = ReadText(path, section, "makingmoviepath", kDefaultKeyword);
  values.makingMoviePath = moviePath == kDefaultKeyword ? GetMovieFolder(values) : moviePath;
  values.makingTimeOneFrame = platform::ReadProfileInt(path, section, "makingtimeoneframe", 1);
  values.makingMovieResolution = platform::ReadProfileInt(path, section, "makingmovieresolution", 1);
  values.autoCreatingFolder = platform::ReadProfileInt(path, section, "autocreatingfolder", 0);
  values.movieResolution = platform::ReadProfileInt(path, section, "movieresolution", 1);
  values.movieSizeMax = platform::ReadProfileInt(path, section, "moviesizemax", 16);
  values.language = platform::ReadProfileInt(path, section, "language", -1);
  return values;
}

// The process-wide store: the records read from "config.ini" and the lock over the current and
// previous records.
class SettingParams {
 public:
  SettingParams() {
    const std::string path = GetConfigPath();
    oemCompanyName_ = ReadText(path, kOemSection, "companyname", "Harbeck Industries Ltd");
    oemProductName_ = ReadText(path, kOemSection, "producename", "Corvessa");
    oemWebSite_ = ReadText(path, kOemSection, "companywebsite", "");
    cameraName_ = ReadText(path, kUsingSection, "name", kUnsetCameraNameSetting);
    defaults_ = ReadSection(path, kDefaultSection);
    current_ = ReadSection(path, kUsingSection);
    previous_ = current_;
  }

  SettingValues Current() const {
    std::lock_guard guard(lock_);
    return current_;
  }

  void MakeCurrent(const SettingValues& values) {
    std::lock_guard guard(lock_);
    previous_ = std::move(current_);
    current_ = values;
  }

  const std::string& CameraName() const { return cameraName_; }
  const std::string& OemCompanyName() const { return oemCompanyName_; }
  const std::string& OemProductName() const { return oemProductName_; }
  const std::string& OemWebSite() const { return oemWebSite_; }

 private:
  SettingValues defaults_;  // kept as read; nothing consults it
  SettingValues current_;
  SettingValues previous_;
  mutable std::mutex lock_;
  std::string cameraName_;
  std::string oemCompanyName_;
  std::string oemProductName_;
  std::string oemWebSite_;
};

std::mutex storeLifetimeLock;
std::unique_ptr<SettingParams> store;

SettingParams& Store() {
  std::lock_guard guard(storeLifetimeLock);
  if (!store) store = std::make_unique<SettingParams>();
  return *store;
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

void CreateSettingParams() { Store(); }

void DestroySettingParams() {
  std::lock_guard guard(storeLifetimeLock);
  store.reset();
}

SettingValues GetCurrentSettings() { return Store().Current(); }

bool SaveSettings(const SettingValues& values) {
  const std::string root = values.resourcesPath == GetDefaultStorageRoot() ? kDefaultKeyword : values.resourcesPath;
  const std::vector<std::pair<std::string, std::string>> keyValues = {
      {"shotsoftimedshot", std::to_string(values.shotsOfTimedShot)},
      {"minutesoftimedshot", std::to_string(values.minutesOfTimedShot)},
      {"resourcespath", root},
      {"makingmoviepath", values.makingMoviePath},
      {"makingtimeoneframe", std::to_string(values.makingTimeOneFrame)},
      {"makingmovieresolution", std::to_string(values.makingMovieResolution)},
      {"autocreatingfolder", std::to_string(values.autoCreatingFolder)},
      {"movieresolution", std::to_string(values.movieResolution)},
      {"moviesizemax", std::to_string(values.movieSizeMax)},
      {"language", std::to_string(values.language)},
  };
  const std::string path = GetConfigPath();
  const bool written = platform::WriteProfileStrings(path, kUsingSection, keyValues);
  if (!written) KALIMO_LOG_ERROR("Could not write the settings to %s", path.c_str());
  Store().MakeCurrent(values);
  return written;
}

void SetStorageRoot(SettingValues& values, const std::string& path) {
  std::string root = path;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  values.resourcesPath = root;
  values.storageFolder = DeriveStorageFolder(root);
}

std::string DeriveStorageFolder(const std::string& resourcesPath) {
  if (resourcesPath.empty()) return {};
  const std::string lastFolder = std::filesystem::path(resourcesPath).filename().string();
  if (lastFolder == kStorageFolderName) return resourcesPath;
  return Join(resourcesPath, kStorageFolderName);
}

std::string GetPhotoFolder(const SettingValues& values) { return Join(values.storageFolder, kPhotoFolderName); }

std::string GetMovieFolder(const SettingValues& values) { return Join(values.storageFolder, kMovieFolderName); }

std::string GetProgramFolder() {
  const std::string folder = platform::ProgramDirectory();
  if (folder.empty()) {
    KALIMO_LOG_ERROR("Fail to get corvessa path error code = %d", errno);
    return {};
  }
  return folder.back() == '/' ? folder : folder + "/";
}

std::string GetProgramFilePath(const std::string& relativePath) { return GetProgramFolder() + relativePath; }

std::string GetConfigPath() {
  if (!platform::IsPackagedProgram()) return GetProgramFolder() + kConfigFileName;
  const std::string folder = platform::UserFilesDirectory(platform::UserFiles::Settings);
  if (folder.empty()) {
    KALIMO_LOG_ERROR("No folder for the settings under %s", platform::UserConfigDirectory().c_str());
    return {};
  }
  const std::string path = folder + "/" + kConfigFileName;
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) return path;
  // The user's first start: their settings begin as the shipped ones. Copied under another name
  // and renamed, so that a failed copy never leaves a part of a file to be read as the settings.
  const std::string shipped = GetProgramFolder() + kConfigFileName;
  const std::string temporary = folder + "/tmp_" + kConfigFileName;
  std::filesystem::remove(temporary, error);
  std::filesystem::copy_file(shipped, temporary, error);
  if (!error) std::filesystem::rename(temporary, path, error);
  if (error) {
    KALIMO_LOG_ERROR("Could not copy the settings %s to %s: %s", shipped.c_str(), path.c_str(),
                     error.message().c_str());
    std::filesystem::remove(temporary, error);
  }
  return path;
}

std::string GetDefaultStorageRoot() {
  const std::string videos = ToUtf8(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
  const std::string documents = ToUtf8(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
  // A folder that exists wins; otherwise the Videos folder that the storage set-up will create.
  if (IsFolder(videos)) return videos;
  if (IsFolder(documents)) return documents;
  return videos.empty() ? documents : videos;
}

std::string CameraName() { return Store().CameraName(); }
std::string OemCompanyName() { return Store().OemCompanyName(); }
std::string OemProductName() { return Store().OemProductName(); }
std::string OemWebSite() { return Store().OemWebSite(); }

}  // namespace kalimo
