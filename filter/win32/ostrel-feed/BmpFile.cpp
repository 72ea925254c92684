#include "filter/win32/ostrel-feed/BmpFile.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/FrameSectionLayout.h"
#include "platform/win32/WideText.h"

namespace kalimo::feed {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
// A 24-bit picture as large as the frame section carries, with generous room for headers.
constexpr long kLargestFile = kMaxFrameBytes + 1024 * 1024;

std::uint32_t Read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Read16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Write32(unsigned char* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}
void Write16(unsigned char* p, std::uint16_t value) {
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

File OpenFile(const std::string& path, const wchar_t* mode) {
  return File(_wfopen(platform::Utf8ToWide(path).c_str(), mode), &std::fclose);
}

}  // namespace

bool ReadBmpFile(const std::string& path, DibPicture& picture, std::string& error) {
  File file = OpenFile(path, L"rb");
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::fseek(file.get(), 0, SEEK_END);
  const long fileSize = std::ftell(file.get());
  std::fseek(file.get(), 0, SEEK_SET);
  if (fileSize < 0 || fileSize > kLargestFile) {
    error = path + " is too large for a frame";
    return false;
  }
  std::vector<unsigned char> bytes(static_cast<std::size_t>(fileSize));
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    error = "cannot read " + path;
    return false;
  }
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
    error = path + " is not a BMP file";
    return false;
  }
  const unsigned char* info = bytes.data() + kFileHeaderSize;
  const std::uint32_t pixelOffset = Read32(bytes.data() + 10);
  const std::uint32_t infoSize = Read32(info);
  const auto width = static_cast<std::int32_t>(Read32(info + 4));
  const auto rawHeight = static_cast<std::int32_t>(Read32(info + 8));
  const std::uint16_t bitCount = Read16(info + 14);
  const std::uint32_t compression = Read32(info + 16);
  if (infoSize < kInfoHeaderSize || bitCount != 24 || compression != 0) {
    error = path + " is not an uncompressed 24-bit BMP file (save it as 24-bit RGB)";
    return false;
  }
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
  if (width <= 0 || height <= 0 || width > kMaxHeaderDimension || height > kMaxHeaderDimension) {
    error = path + " has a size the camera cannot carry";
    return false;
  }
  const std::int64_t stride = DibStride(width);
  const std::int64_t imageBytes = stride * height;
  if (imageBytes > kMaxFrameBytes) {
    error = path + " is too large for a frame";
    return false;
  }
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset + imageBytes > fileSize) {
    error = path + " is truncated";
    return false;
  }
  picture.width = width;
  picture.height = static_cast<int>(height);
  const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(pixelOffset);
  picture.bits.assign(first, first + static_cast<std::ptrdiff_t>(imageBytes));
  if (topDown) {
    // The section holds bottom-up rows.
    std::vector<unsigned char> row(static_cast<std::size_t>(stride));
    for (std::int64_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
      unsigned char* a = picture.bits.data() + top * stride;
      unsigned char* b = picture.bits.data() + bottom * stride;
      std::memcpy(row.data(), a, row.size());
      std::memcpy(a, b, row.size());
      std::memcpy(b, row.data(), row.size());
    }
  }
  return true;
}

bool WriteBmpFile(const std::string& path, const DibPicture& picture) {
  const std::int64_t imageBytes = DibStride(picture.width) * picture.height;
  if (picture.width <= 0 || picture.height <= 0 || static_cast<std::int64_t>(picture.bits.size()) != imageBytes) {
    return false;
  }
  unsigned char header[kFileHeaderSize + kInfoHeaderSize] = {};
  header[0] = 'B';
  header[1] = 'M';
  Write32(header + 2, static_cast<std::uint32_t>(sizeof header + imageBytes));
  Write32(header + 10, sizeof header);
  unsigned char* info = header + kFileHeaderSize;
  Write32(info, kInfoHeaderSize);
  Write32(info + 4, static_cast<std::uint32_t>(picture.width));
  Write32(info + 8, static_cast<std::uint32_t>(picture.height));
  Write16(info + 12, 1);
  Write16(info + 14, 24);
  Write32(info + 20, static_cast<std::uint32_t>(imageBytes));
  File file = OpenFile(path, L"wb");
  if (!file) return false;
  return std::fwrite(header, 1, sizeof header, file.get()) == sizeof header &&
         std::fwrite(picture.bits.data(), 1, picture.bits.size(), file.get()) == picture.bits.size();
}

}  // namespace kalimo::feed
