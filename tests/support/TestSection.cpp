#include "tests/support/TestSection.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace kalimo::test {

namespace {
std::atomic<int> sectionCounter{0};
}

TestSection::TestSection()
    : name_("/kalimo-test-" + std::to_string(getpid()) + "-" + std::to_string(sectionCounter++)) {
  if (const char* previous = std::getenv("KALIMO_SECTION")) {
    hadPrevious_ = true;
    previous_ = previous;
  }
  shm_unlink(name_.c_str());
  setenv("KALIMO_SECTION", name_.c_str(), 1);
}

TestSection::~TestSection() {
  shm_unlink(name_.c_str());
  if (hadPrevious_) {
    setenv("KALIMO_SECTION", previous_.c_str(), 1);
  } else {
    unsetenv("KALIMO_SECTION");
  }
}

bool TestSection::Exists() const { return Mode() >= 0; }

int TestSection::Mode() const {
  const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
  if (fd < 0) return -1;
  struct stat info {};
  const int result = fstat(fd, &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
  close(fd);
  return result;
}

std::vector<unsigned char> TestSection::ReadAll() const {
  std::vector<unsigned char> bytes;
  const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
  if (fd < 0) return bytes;
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > 0) {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
  }
  close(fd);
  return bytes;
}

bool TestSection::PlantAsOtherUser(std::size_t size) const {
  const int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  const bool planted = ftruncate(fd, static_cast<off_t>(size)) == 0 && fchown(fd, 65534, 65534) == 0;
  close(fd);
  if (!planted) shm_unlink(name_.c_str());
  return planted;
}

FrameSectionHeader TestSection::Header() const {
  const auto bytes = ReadAll();
  return bytes.size() >= kSectionHeaderSize ? LoadSectionHeader(bytes.data()) : FrameSectionHeader{};
}

}  // namespace kalimo::test
