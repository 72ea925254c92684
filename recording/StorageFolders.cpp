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
}  // namespace

bool EnsureFolder(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;
  // A file of that name is reported by mkdir as EEXIST: it cannot hold photos or movies.
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  const int error = errno;
  if (error == EEXIST && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;  // made meanwhile
  ShowWarning(path + SystemErrorText(error));
  return false;
}

void PrepareStorageFolders() {
  std::call_once(foldersPrepared, [] {
    const SettingValues settings = GetCurrentSettings();
    EnsureFolder(settings.storageFolder);
    EnsureFolder(GetPhotoFolder(settings));
    EnsureFolder(GetMovieFolder(settings));
    foldersPreparedMarker = true;
  });
}

bool StorageFoldersPrepared() { return foldersPreparedMarker; }

}  // namespace kalimo
