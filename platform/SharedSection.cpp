#include "platform/SharedSection.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace kalimo::platform {

namespace {
constexpr const char* kBaseName = "MyFileMappingObject444";

std::string WithLeadingSlash(std::string name) {
  if (name.empty() || name.front() != '/') name.insert(name.begin(), '/');
  return name;
}

// Never blocks (a FIFO under the name would otherwise hang the open) and never follows a link.
int OpenObject(const std::string& name, int access, int& error) {
  const int fd = shm_open(WithLeadingSlash(name).c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) error = errno;
  return fd;
}

// 0 when the object may be used; else the code that says why not.
int ObjectProblem(const struct stat& info, bool forWriting) {
  if (!S_ISREG(info.st_mode)) return EINVAL;
  if (info.st_uid != geteuid()) return EACCES;
  // The writer makes its own object private; a reader refuses one that others may write into.
  if (!forWriting && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return EACCES;
  return 0;
}

SectionHandle Refuse(int fd, int code, int& error) {
  error = code;
  close(fd);
  return kNoSection;
}

// Writable mappings whose object may be shrunk under them, for the SIGBUS handler. Slots are
// claimed and released with atomics so that the handler can read them at any moment.
struct GuardedMapping {
  std::atomic<std::uintptr_t> start{0};
  std::atomic<std::size_t> size{0};
  std::atomic<int> fd{-1};
};
constexpr int kGuardedSlots = 16;
GuardedMapping guardedMappings[kGuardedSlots];
struct sigaction previousBusAction {};
std::once_flag busHandlerInstalled;

// A write into a mapping past the end of its (shrunk) object raises SIGBUS. Inside one of our
// guarded mappings the object is given its size back (the lost pages return as zeros) and the
// faulting access is retried; when that is impossible, private memory takes the mapping's place so
// the write lands nowhere. Both are plain system calls, safe in a signal handler. Every other
// SIGBUS goes to the handler that was there before, or kills the process as it always did.
void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (GuardedMapping& slot : guardedMappings) {
    const std::uintptr_t start = slot.start.load();
    const std::size_t size = slot.size.load();
    if (start == 0 || address < start || address - start >= size) continue;
    if (ftruncate(slot.fd.load(), static_cast<off_t>(size)) != 0) {
      mmap(reinterpret_cast<void*>(start), size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
           0);
    }
    return;
  }
  if ((previousBusAction.sa_flags & SA_SIGINFO) != 0 && previousBusAction.sa_sigaction) {
    previousBusAction.sa_sigaction(signal, info, context);
  } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
    previousBusAction.sa_handler(signal);
  } else {
    ::signal(SIGBUS, SIG_DFL);  // the access faults again and ends the process, as without us
  }
}

void GuardMapping(void* view, std::size_t size, int fd) {
  std::call_once(busHandlerInstalled, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &previousBusAction);
  });
  for (GuardedMapping& slot : guardedMappings) {
    std::uintptr_t free = 0;
    if (!slot.start.compare_exchange_strong(free, 1)) continue;  // 1: claimed, not yet filled
    slot.fd = fd;
    slot.size = size;
    slot.start = reinterpret_cast<std::uintptr_t>(view);
    return;
  }
}

void UnguardMapping(void* view) {
  for (GuardedMapping& slot : guardedMappings) {
    if (slot.start.load() != reinterpret_cast<std::uintptr_t>(view)) continue;
    slot.start = 0;
    return;
  }
}

std::string UserName(uid_t uid) {
  char buffer[1024];
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name) return found->pw_name;
  return "uid " + std::to_string(uid);
}
}  // namespace

std::string FrameSectionName() {
  if (const char* overridden = std::getenv("KALIMO_SECTION"); overridden && *overridden) {
    return WithLeadingSlash(overridden);
  }
  return "/" + std::string(kBaseName) + "-" + std::to_string(getuid());
}

SectionHandle CreateSection(const std::string& name, std::size_t size, int& error) {
  const int fd = OpenObject(name, O_RDWR | O_CREAT, error);
  if (fd < 0) return kNoSection;
  struct stat info {};
  if (fstat(fd, &info) != 0) return Refuse(fd, errno, error);
  // Pictures of the camera are private: refuse an object that somebody else planted under our name.
  if (const int problem = ObjectProblem(info, true)) return Refuse(fd, problem, error);
  if ((info.st_mode & 0777) != 0600 && fchmod(fd, 0600) != 0) return Refuse(fd, errno, error);
  if (static_cast<std::size_t>(info.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0) {
    return Refuse(fd, errno, error);
  }
  return fd;
}

SectionHandle OpenSectionReadOnly(const std::string& name, int& error) {
  const int fd = OpenObject(name, O_RDONLY, error);
  if (fd < 0) return kNoSection;
  struct stat info {};
  if (fstat(fd, &info) != 0) return Refuse(fd, errno, error);
  if (const int problem = ObjectProblem(info, false)) return Refuse(fd, problem, error);
  return fd;
}

std::string SectionProblemText(const std::string& name) {
  const std::string path = "/dev/shm" + WithLeadingSlash(name);
  const std::string removal = "; remove it (as its owner or as root) with: rm " + path;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return {};
  if (!S_ISREG(info.st_mode)) return "the frame section " + path + " is not a shared-memory object" + removal;
  if (info.st_uid != geteuid()) {
    return "the frame section " + path + " belongs to user " + UserName(info.st_uid) + " (uid " +
           std::to_string(info.st_uid) + "), not to this user" + removal;
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "the frame section " + path + " may be written by other users" + removal;
  return {};
}

void* MapSection(SectionHandle handle, std::size_t size, bool writable, int& error) {
  struct stat info {};
  const int fd = static_cast<int>(handle);
  if (fstat(fd, &info) != 0) {
    error = errno;
    return nullptr;
  }
  if (static_cast<std::size_t>(info.st_size) < size) {
    error = EINVAL;
    return nullptr;
  }
  const int protection = writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = mmap(nullptr, size, protection, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    error = errno;
    return nullptr;
  }
  if (writable) GuardMapping(view, size, fd);
  return view;
}

void UnmapSection(void* view, std::size_t size) {
  if (!view) return;
  UnguardMapping(view);
  munmap(view, size);
}

void CloseSection(SectionHandle handle) {
  if (handle != kNoSection) close(static_cast<int>(handle));
}

bool RemoveSection(const std::string& name) {
  return shm_unlink(WithLeadingSlash(name).c_str()) == 0;
}

}  // namespace kalimo::platform
