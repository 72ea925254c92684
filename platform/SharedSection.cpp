#include "platform/SharedSection.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kalimo::platform {

namespace {
constexpr const char* kBaseName = "MyFileMappingObject444";

std::string WithLeadingSlash(std::string name) {
  if (name.empty() || name.front() != '/') name.insert(name.begin(), '/');
  return name;
}
}  // namespace

std::string FrameSectionName() {
  if (const char* overridden = std::getenv("KALIMO_SECTION"); overridden && *overridden) {
    return WithLeadingSlash(overridden);
  }
  return "/" + std::string(kBaseName) + "-" + std::to_string(getuid());
}

SectionHandle CreateSection(const std::string& name, std::size_t size, int& error) {
  const int fd = shm_open(WithLeadingSlash(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = errno;
    return kNoSection;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    error = errno;
    close(fd);
    return kNoSection;
  }
  // Pictures of the camera are private: refuse an object that somebody else planted under our name.
  if (info.st_uid != geteuid()) {
    error = EACCES;
    close(fd);
    return kNoSection;
  }
  if ((info.st_mode & 0777) != 0600 && fchmod(fd, 0600) != 0) {
    error = errno;
    close(fd);
    return kNoSection;
  }
  if (static_cast<std::size_t>(info.st_size) < size && ftruncate(fd, static_cast<off_t>(size)) != 0) {
    error = errno;
    close(fd);
    return kNoSection;
  }
  return fd;
}

SectionHandle OpenSectionReadOnly(const std::string& name, int& error) {
  const int fd = shm_open(WithLeadingSlash(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) error = errno;
  return fd < 0 ? kNoSection : fd;
}

void* MapSection(SectionHandle handle, std::size_t size, bool writable, int& error) {
  struct stat info {};
  if (fstat(handle, &info) != 0) {
    error = errno;
    return nullptr;
  }
  if (static_cast<std::size_t>(info.st_size) < size) {
    error = EINVAL;
    return nullptr;
  }
  const int protection = writable ? PROT_READ | PROT_WRITE : PROT_READ;
  void* view = mmap(nullptr, size, protection, MAP_SHARED, handle, 0);
  if (view == MAP_FAILED) {
    error = errno;
    return nullptr;
  }
  return view;
}

void UnmapSection(void* view, std::size_t size) {
  if (view) munmap(view, size);
}

void CloseSection(SectionHandle handle) {
  if (handle != kNoSection) close(handle);
}

bool RemoveSection(const std::string& name) {
  return shm_unlink(WithLeadingSlash(name).c_str()) == 0;
}

}  // namespace kalimo::platform
