#include "platform/ProgramPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace kalimo::platform {

namespace {
std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeDirectory() {
  std::string home = FromEnvironment("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
}  // namespace

std::string ProgramDirectory() {
  if (std::string overridden = FromEnvironment("KALIMO_PROGRAM_DIR"); !overridden.empty()) {
    return WithoutTrailingSlash(overridden);
  }
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path().string();
  return executable.parent_path().string();
}

std::string UserConfigDirectory() {
  std::string config = FromEnvironment("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return WithoutTrailingSlash(config);
  return HomeDirectory() + "/.config";
}

std::string UserCacheDirectory() {
  std::string cache = FromEnvironment("XDG_CACHE_HOME");
  if (!cache.empty() && cache.front() == '/') return WithoutTrailingSlash(cache);
  return HomeDirectory() + "/.cache";
}

std::string UserDataDirectory() {
  std::string data = FromEnvironment("XDG_DATA_HOME");
  if (!data.empty() && data.front() == '/') return WithoutTrailingSlash(data);
  return HomeDirectory() + "/.local/share";
}

std::string UserStateDirectory() {
  std::string state = FromEnvironment("XDG_STATE_HOME");
  if (!state.empty() && state.front() == '/') return WithoutTrailingSlash(state);
  return HomeDirectory() + "/.local/state";
}

bool IsPackagedProgram() {
  std::error_code error;
  return std::filesystem::is_regular_file(ProgramDirectory() + "/" + kPackagedMarkerFile, error);
}

std::string UserFilesDirectory(UserFiles kind) {
  if (!IsPackagedProgram()) return ProgramDirectory();
  std::string base;
  switch (kind) {
    case UserFiles::Settings: base = UserConfigDirectory(); break;
    case UserFiles::Lists: base = UserDataDirectory(); break;
    case UserFiles::Log: base = UserStateDirectory(); break;
  }
  const std::string folder = base + "/kalimo";
  std::error_code error;
  std::filesystem::create_directories(base, error);
  // The user's lists name their files and folders: no other account reads them.
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  if (!std::filesystem::is_directory(folder, error)) return {};
  return folder;
}

std::string KalimoRuntimeDirectory() {
  const std::string runtime = FromEnvironment("XDG_RUNTIME_DIR");
  if (!runtime.empty() && runtime.front() == '/') return WithoutTrailingSlash(runtime) + "/kalimo";
  // Not a folder of a predictable name in /tmp: another user could make it beforehand and then
  // decide what lands in it. The user's own cache folder is theirs alone.
  return UserCacheDirectory() + "/kalimo";
}

}  // namespace kalimo::platform
