#include "media/sources/FrameSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/Messages.h"

namespace kalimo::media {

std::string FileErrorText(int code) {
  switch (code) {
    case ENOENT: return "no such file";
    case EISDIR: return "is a folder";
    case EACCES:
    case EPERM: return "permission denied";
    default: return SystemErrorText(code);
  }
}

std::string SourceFileProblem(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return FileErrorText(errno);
  if (S_ISDIR(info.st_mode)) return FileErrorText(EISDIR);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileErrorText(errno);
  close(fd);
  return {};
}

}  // namespace kalimo::media
