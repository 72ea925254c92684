#pragma once
// The one definition of the frame section's layout, shared by the writer in the main program and
// the reader in the virtual camera. Plain C++ only: both deliverables include it.
//
//   offset 0  uint16 width      (little-endian)
//   offset 2  uint16 height
//   offset 4  int32  byteCount  (pixel bytes that follow)
//   offset 8  pixels: 24-bit BGR rows, bottom-up, each row padded to a multiple of 4 bytes
//
// Past those 18000004 bytes the object carries a write sequence counter (uint64 at offset
// 18000008): odd while a frame is being written, even when it is complete. Readers that know it can
// tell a torn copy and an unchanged frame; readers that map only the first 18000004 bytes never see it.
#include <atomic>
#include <cstdint>
#include <cstring>

namespace kalimo {

inline constexpr std::int32_t kSectionCapacity = 18000004;
inline constexpr std::int32_t kSectionHeaderSize = 8;
inline constexpr std::int32_t kMaxFrameBytes = kSectionCapacity - kSectionHeaderSize;  // 17999996
inline constexpr std::int32_t kMaxHeaderDimension = 65535;
inline constexpr std::int64_t kSequenceOffset = 18000008;  // 8-byte aligned, past the frame area
inline constexpr std::int64_t kSectionObjectSize = kSequenceOffset + 8;

// Row stride of a 24-bit DIB: width * 3 rounded up to a multiple of 4.
constexpr std::int64_t DibStride(std::int64_t width) { return ((width * 24 + 31) / 32) * 4; }

// A picture's width and height, where nothing but its size is meant (a camera format, a photo, an
// output the camera offers).
struct FrameSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const FrameSize&) const = default;
};

// A 24-bit BGR picture that somebody else owns: where its bytes are, its size, how far apart its
// rows are and how many bytes it holds. Empty (false) when there is no picture. Which row comes
// first is the producer's: the frame section's copies are bottom-up, GStreamer's frames top-down.
struct FrameView {
  const unsigned char* bits = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int64_t stride = 0;  // bytes from the start of one row to the start of the next
  std::int64_t byteCount = 0;
  explicit operator bool() const { return bits != nullptr; }
};

// A bottom-up DIB of `byteCount` bytes, its rows padded to 4 bytes.
inline FrameView DibFrame(const unsigned char* bits, std::int32_t width, std::int32_t height, std::int64_t byteCount) {
  return {bits, width, height, DibStride(width), byteCount};
}

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

// The write sequence counter of a mapped object of at least kSectionObjectSize bytes.
inline std::atomic_ref<std::uint64_t> SectionSequence(unsigned char* section) {
  return std::atomic_ref<std::uint64_t>(*reinterpret_cast<std::uint64_t*>(section + kSequenceOffset));
}
inline std::uint64_t LoadSectionSequence(const unsigned char* section) {
  // atomic_ref needs a non-const object; the load itself does not write.
  return SectionSequence(const_cast<unsigned char*>(section)).load(std::memory_order_acquire);
}

// Marks a write as begun: the counter becomes odd. A counter left odd by a writer that died in the
// middle of a frame is first moved on to even, so the new writer's frames read as complete again.
inline std::uint64_t BeginSectionWrite(unsigned char* section) {
  auto sequence = SectionSequence(section);
  std::uint64_t value = sequence.load(std::memory_order_relaxed);
  if (value & 1) ++value;
  sequence.store(value + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  return value + 1;
}

// Marks the write begun with `oddValue` as complete: the counter becomes even.
inline void EndSectionWrite(unsigned char* section, std::uint64_t oddValue) {
  SectionSequence(section).store(oddValue + 1, std::memory_order_release);
}

}  // namespace kalimo
