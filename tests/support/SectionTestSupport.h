#pragma once
// Helpers of the frame section's tests (the camera's, the writer's, the platform's): pictures whose
// every pixel tells where it came from, a raw section for headers the writer would refuse, and the
// user folders the camera writes into.
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/FrameSectionLayout.h"
#include "platform/SharedSection.h"
#include "tests/support/TempDir.h"

namespace kalimo::test {

// A 24-bit bottom-up DIB whose pixel (x, y) — y counted from the top — holds x, y and `seed`.
inline std::vector<unsigned char> PatternFrame(int width, int height, unsigned char seed = 0) {
  const auto stride = static_cast<std::size_t>(DibStride(width));
  std::vector<unsigned char> bits(stride * static_cast<std::size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    unsigned char* row = bits.data() + static_cast<std::size_t>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<unsigned char>(x);
      row[x * 3 + 1] = static_cast<unsigned char>(y);
      row[x * 3 + 2] = static_cast<unsigned char>(seed + (x >> 8) * 16 + (y >> 8));
    }
  }
  return bits;
}

// The same picture with top-down rows of `stride` bytes, as GStreamer lays it out.
inline std::vector<unsigned char> TopDown(const std::vector<unsigned char>& dib, int width, int height) {
  const auto stride = static_cast<std::size_t>(DibStride(width));
  std::vector<unsigned char> rows(dib.size());
  for (int y = 0; y < height; ++y) {
    std::copy_n(dib.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(height - 1 - y) * stride),
                stride, rows.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * stride));
  }
  return rows;
}

// A section written by hand, for headers that the real writer refuses to produce.
class RawSection {
 public:
  explicit RawSection(std::size_t size = static_cast<std::size_t>(kSectionObjectSize)) : size_(size) {
    int error = 0;
    handle_ = platform::CreateSection(platform::FrameSectionName(), size, error);
    if (handle_ != platform::kNoSection) {
      view_ = static_cast<unsigned char*>(platform::MapSection(handle_, size, true, error));
    }
  }
  ~RawSection() {
    platform::UnmapSection(view_, size_);
    platform::CloseSection(handle_);
  }
  RawSection(const RawSection&) = delete;
  RawSection& operator=(const RawSection&) = delete;

  bool Ok() const { return view_ != nullptr; }
  void Write(std::uint16_t width, std::uint16_t height, std::int32_t byteCount, const std::vector<unsigned char>& pixels = {}) {
    StoreSectionHeader(view_, FrameSectionHeader{width, height, byteCount});
    const std::size_t room = size_ > kSectionHeaderSize ? size_ - kSectionHeaderSize : 0;
    std::copy_n(pixels.begin(), std::min(pixels.size(), room), view_ + kSectionHeaderSize);
  }

 private:
  std::size_t size_;
  platform::SectionHandle handle_ = platform::kNoSection;
  unsigned char* view_ = nullptr;
};

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR at a temporary folder for the test's
// life; `withLogFolder` creates the Zemvio folder that enables the camera's log.
class UserFolders {
 public:
  explicit UserFolders(bool withLogFolder = true) {
    std::filesystem::create_directories(dir_ / "config");
    std::filesystem::create_directories(dir_ / "data");
    std::filesystem::create_directories(dir_ / "runtime");
    std::filesystem::permissions(dir_ / "runtime", std::filesystem::perms::owner_all);
    if (withLogFolder) std::filesystem::create_directories(dir_ / "config" / "Zemvio");
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ / "runtime").c_str(), 1);
  }
  const TempDir& Dir() const { return dir_; }
  std::filesystem::path LogFile() const { return dir_ / "config" / "Zemvio" / "logvam.log"; }
  std::string Log() const {
    std::ifstream file(LogFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

 private:
  TempDir dir_;
};

// The threads of this process.
inline int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
  }
  return count;
}

// A joined thread can linger in /proc for a moment after join returns.
inline bool ThreadCountBecomes(int expected) {
  for (int i = 0; i < 200 && ThreadCount() != expected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return ThreadCount() == expected;
}

}  // namespace kalimo::test
