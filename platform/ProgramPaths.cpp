#include "platform/ProgramPaths.h"

#include <pwd.h>
#include <unistd.h>

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

std::string KalimoRuntimeDirectory() {
  const std::string runtime = FromEnvironment("XDG_RUNTIME_DIR");
  if (!runtime.empty() && runtime.front() == '/') return WithoutTrailingSlash(runtime) + "/kalimo";
  // Not a folder of a predictable name in /tmp: another user could make it beforehand and then
  // decide what lands in it. The user's own cache folder is theirs alone.
  return UserCacheDirectory() + "/kalimo";
}

}  // namespace kalimo::platform
