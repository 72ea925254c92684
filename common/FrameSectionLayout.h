#pragma once
// The one definition of the frame section's layout, shared by the writer in the main program and
// the reader in the virtual camera. Plain C++ only: both deliverables include it.
//
//   offset 0  uint16 width      (little-endian)
//   offset 2  uint16 height
//   offset 4  int32  byteCount  (pixel bytes that follow)
//   offset 8  pixels: 24-bit BGR rows, bottom-up, each row padded to a multiple of 4 bytes
#include <cstdint>
#include <cstring>

namespace kalimo {

inline constexpr std::int32_t kSectionCapacity = 18000004;
inline constexpr std::int32_t kSectionHeaderSize = 8;
inline constexpr std::int32_t kMaxFrameBytes = kSectionCapacity - kSectionHeaderSize;  // 17999996
inline constexpr std::int32_t kMaxHeaderDimension = 65535;

// Row stride of a 24-bit DIB: width * 3 rounded up to a multiple of 4.
constexpr std::int64_t DibStride(std::int64_t width) { return ((width * 24 + 31) / 32) * 4; }

struct FrameSectionHeader {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::int32_t byteCount = 0;
};

// Field-by-field little-endian access, so neither side depends on struct packing.
inline void StoreSectionHeader(unsigned char* section, const FrameSectionHeader& header) {
  const unsigned char bytes[kSectionHeaderSize] = {
      static_cast<unsigned char>(header.width & 0xFF),
      static_cast<unsigned char>(header.width >> 8),
      static_cast<unsigned char>(header.height & 0xFF),
      static_cast<unsigned char>(header.height >> 8),
      static_cast<unsigned char>(static_cast<std::uint32_t>(header.byteCount) & 0xFF),
      static_cast<unsigned char>((static_cast<std::uint32_t>(header.byteCount) >> 8) & 0xFF),
      static_cast<unsigned char>((static_cast<std::uint32_t>(header.byteCount) >> 16) & 0xFF),
      static_cast<unsigned char>((static_cast<std::uint32_t>(header.byteCount) >> 24) & 0xFF),
  };
  std::memcpy(section, bytes, sizeof bytes);
}

inline FrameSectionHeader LoadSectionHeader(const unsigned char* section) {
  FrameSectionHeader header;
  header.width = static_cast<std::uint16_t>(section[0] | (section[1] << 8));
  header.height = static_cast<std::uint16_t>(section[2] | (section[3] << 8));
  const std::uint32_t count = static_cast<std::uint32_t>(section[4]) |
                              (static_cast<std::uint32_t>(section[5]) << 8) |
                              (static_cast<std::uint32_t>(section[6]) << 16) |
                              (static_cast<std::uint32_t>(section[7]) << 24);
  header.byteCount = static_cast<std::int32_t>(count);
  return header;
}

}  // namespace kalimo
