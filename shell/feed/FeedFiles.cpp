#include "shell/feed/FeedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>

#include "media/sources/FrameSource.h"

namespace kalimo::feed {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string OutputFileProblem(const std::string& path) {
  if (path.empty()) return "no file name";
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return media::FileErrorText(EISDIR);
    // An existing file (or device) is written over: it must open for writing, without changing it.
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return media::FileErrorText(errno);
    close(fd);
    return {};
  }
  if (errno != ENOENT) return media::FileErrorText(errno);
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (stat(folder.c_str(), &info) != 0) {
    return errno == ENOENT ? "the folder " + folder.string() + " does not exist" : media::FileErrorText(errno);
  }
  if (!S_ISDIR(info.st_mode)) return folder.string() + " is not a folder";
  if (access(folder.c_str(), W_OK | X_OK) != 0) return media::FileErrorText(errno) + " in the folder " + folder.string();
  return {};
}

std::string ExtensionWarning(const std::string& path, const std::string& extension, const std::string& alsoAccepted,
                             const std::string& kind) {
  const std::string actual = Lower(std::filesystem::path(path).extension().string());
  if (actual == extension) return {};
  std::istringstream others(alsoAccepted);
  for (std::string other; others >> other;)
    if (actual == other) return {};
  return path + " will hold " + kind + " whatever its name says (name it *" + extension + " to match)";
}

}  // namespace kalimo::feed
