#include "media/FrameSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Messages.h"

namespace kalimo::media {

std::string SourceFileProblem(const std::string& path) {
  auto text = [](int code) -> std::string {
    switch (code) {
      case ENOENT: return "no such file";
      case EACCES:
      case EPERM: return "permission denied";
      default: return SystemErrorText(code);
    }
  };
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return text(errno);
  if (S_ISDIR(info.st_mode)) return "is a folder";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text(errno);
  close(fd);
  return {};
}

}  // namespace kalimo::media
