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

ReplaceResult WriteAndReplace(int descriptor, const std::string& temporary, const std::string& path,
                              const std::string& bytes, int& error) {
  // The new bytes must be on the disk before they replace the old ones, or a power cut could leave
  // an empty file behind.
  bool written = WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
  if (!written) error = errno != 0 ? errno : EIO;
  if (::close(descriptor) != 0 && written) {
    error = errno;
    written = false;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return ReplaceResult::kWriteFailed;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return ReplaceResult::kRenameFailed;
  }
  const std::size_t slash = path.rfind('/');
  SyncFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
  return ReplaceResult::kReplaced;
}

void CloseAndDiscard(int descriptor, const std::string& path) {
  struct stat info {};
  const bool regular = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
  ::close(descriptor);
  if (regular) ::unlink(path.c_str());
}

}  // namespace kalimo::platform
