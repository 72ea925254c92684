#include "platform/FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kalimo::platform {

bool WriteAll(int descriptor, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int directory = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory < 0) return;
  ::fsync(directory);
  ::close(directory);
}

void CloseAndDiscard(int descriptor, const std::string& path) {
  struct stat info {};
  const bool regular = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
  ::close(descriptor);
  if (regular) ::unlink(path.c_str());
}

}  // namespace kalimo::platform
