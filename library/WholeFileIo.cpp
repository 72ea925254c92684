#include "library/WholeFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "common/Logging.h"
#include "platform/TextEncoding.h"

namespace kalimo {

namespace {

// The import's records keep the source name and lines they have always carried, so that
// existing log filters still find them.
constexpr const char* kLogSource = "ApplyDataToOstrel.cpp";
constexpr int kOpenFailureLine = 516;
constexpr int kReadFailureLine = 498;

void LogError(const std::string& message, int line) {
  if (log::IsEnabled(log::Level::Error)) log::Write(log::Level::Error, message, kLogSource, line);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  // Not blocking on open: a pipe picked by mistake must not hang the program (it reads as empty).
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    LogError(log::Format("Could not read share memory file error code=%d\n", errno), kOpenFailureLine);
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || info.st_size == 0 || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) {
    ::close(descriptor);
    return std::nullopt;
  }
  std::string bytes;
  try {
    bytes.resize(static_cast<std::size_t>(info.st_size));
  } catch (const std::bad_alloc&) {
    LogError(log::Format("Could not read data from share memory file error code=%d", ENOMEM), kReadFailureLine);
    ::close(descriptor);
    return std::nullopt;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::read(descriptor, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      LogError(log::Format("Could not read data from share memory file error code=%d", count < 0 ? errno : 0),
               kReadFailureLine);
      ::close(descriptor);
      return std::nullopt;
    }
    done += static_cast<std::size_t>(count);
  }
  ::close(descriptor);
  return bytes;
}

bool WriteNewFile(const std::string& path, std::string_view bytes) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_SYNC | O_CLOEXEC, 0666);
  if (descriptor < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t count = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) ok = false;
    else done += static_cast<std::size_t>(count);
  }
  ok = (::close(descriptor) == 0) && ok;
  // The file is ours and new: a half-written one would only mislead the user later.
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool WriteTextFile(const std::string& text, const std::string& path) {
  std::optional<std::string> narrow = platform::Utf8ToGb18030(text);
  if (!narrow) return false;
  narrow->push_back('\0');
  return WriteNewFile(path, *narrow);
}

}  // namespace kalimo
