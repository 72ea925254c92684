#include "recording/StorageFolders.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "common/Messages.h"
#include "library/settings/SettingParams.h"

namespace kalimo {

namespace {
std::once_flag foldersPrepared;
std::atomic<bool> foldersPreparedMarker{false};
// Photos and movies of the user's camera are for the user alone.
constexpr mode_t kNewFolderMode = 0700;
}  // namespace

bool EnsureFolder(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;
  // A file of that name is reported by mkdir as EEXIST: it cannot hold photos or movies.
  if (::mkdir(path.c_str(), kNewFolderMode) == 0) return true;
  const int error = errno;
  if (error == EEXIST && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;  // made meanwhile
  ShowWarning(path + SystemErrorText(error));
  return false;
}

bool EnsureFolderPath(const std::string& path) {
  struct stat status {};
  if (path.empty() || (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))) return EnsureFolder(path);
  // Every folder from the top down; those that exist are passed over.
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (::stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) continue;
    if (::mkdir(parent.c_str(), kNewFolderMode) != 0 && errno != EEXIST) {
      ShowWarning(parent + SystemErrorText(errno));
      return false;
    }
  }
  return EnsureFolder(path);
}

void PrepareStorageFolders() {
  std::call_once(foldersPrepared, [] {
    const SettingValues settings = GetCurrentSettings();
    if (EnsureFolderPath(settings.storageFolder)) {
      EnsureFolder(GetPhotoFolder(settings));
      EnsureFolder(GetMovieFolder(settings));
    }
    foldersPreparedMarker = true;
  });
}

bool StorageFoldersPrepared() { return foldersPreparedMarker; }

}  // namespace kalimo
