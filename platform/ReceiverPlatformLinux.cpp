// The Linux side of the frame receiver's operating-system layer (ReceiverPlatform.h).
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/ProgramPaths.h"
#include "platform/ReceiverPlatform.h"
#include "platform/SharedSection.h"
#include "platform/SingleInstance.h"

namespace kalimo::platform {

ReadOnlySectionView::~ReadOnlySectionView() { CloseSection(static_cast<SectionHandle>(handle_)); }

bool ReadOnlySectionView::Open(const std::string& name, int& error) {
  handle_ = OpenSectionReadOnly(name, error);
  return handle_ != kNoSection;
}

// pread copies from the object itself: when the object is shrunk during the copy the read comes
// back short instead of faulting, and no mapping of 18 MB is set up (and torn down) for each copy.
bool ReadOnlySectionView::Read(std::size_t offset, void* out, std::size_t size, int& error) {
  if (handle_ == kNoSection) {
    error = EINVAL;
    return false;
  }
  auto* target = static_cast<unsigned char*>(out);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(static_cast<int>(handle_), target + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got < 0 ? errno : EINVAL;  // 0: the section ends before
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::string UserDataFile(const std::string& folder, const std::string& name) {
  const std::string base = UserConfigDirectory();
  if (base.empty()) return {};
  return base + "/" + folder + "/" + name;
}

AppendResult AppendToFile(const std::string& path, const void* bytes, std::size_t size, std::uint64_t limit) {
  // O_APPEND makes each write land at the end even when several threads or processes log at once.
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return AppendResult::kFailed;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return AppendResult::kFailed;
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    close(fd);
    return AppendResult::kOverLimit;
  }
  const auto* data = static_cast<const char*>(bytes);
  std::size_t done = 0;
  bool ok = true;
  while (done < size) {
    const ssize_t written = write(fd, data + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  if (ok && fdatasync(fd) != 0 && errno != EINVAL) ok = false;
  close(fd);
  return ok ? AppendResult::kWritten : AppendResult::kFailed;
}

std::string ModuleFilePath(const std::string& name, int& error) {
  // The address of this function lies inside the module this code was linked into: the plugin
  // when the receiver runs in a client, the executable in a test.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || !info.dli_fname || !*info.dli_fname) {
    error = ENOENT;
    return {};
  }
  std::string modulePath = info.dli_fname;
  // dladdr names the main program by the name it was started with, which may lack a folder.
  if (modulePath.find('/') == std::string::npos) modulePath = "/proc/self/exe";
  char resolved[PATH_MAX];
  if (!realpath(modulePath.c_str(), resolved)) {
    error = errno;
    return {};
  }
  return std::filesystem::path(resolved).parent_path().string() + "/" + name;
}

bool StartDetachedProgram(const std::string& path, int& error) {
  if (access(path.c_str(), X_OK) != 0) {
    error = errno;
    return false;
  }
  // Everything the children need is prepared before fork: between fork and exec of a threaded
  // process only async-signal-safe calls are allowed.
  const std::string program = path;
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  // Started in its own folder, as the desktop entry starts it: the program reads its log
  // configuration from the working folder.
  const std::string folder = std::filesystem::path(program).parent_path().string();
  const pid_t child = fork();
  if (child < 0) {
    error = errno;
    return false;
  }
  if (child == 0) {
    // The intermediate child: a new session, then a grandchild that nobody has to reap.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      closefrom(STDERR_FILENO + 1);
      if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
      execv(argv[0], argv);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = EAGAIN;
    return false;
  }
  return true;
}

bool MainProgramIsRunning() { return ProbeSingleInstance(); }

void SleepMilliseconds(int milliseconds) {
  timespec delay{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

void DebugOutput(const std::string& text) {
  if (std::getenv("KALIMO_FILTER_DEBUG")) std::fprintf(stderr, "%s", text.c_str());
}

}  // namespace kalimo::platform
