#pragma once
// The packed bitmap a screen capture hands on frame by frame: a Windows BITMAPINFOHEADER, its
// colour table, then the rows, bottom-up, BGR, each padded to 4 bytes.
#include <cstdint>
#include <vector>

#include "common/FrameSectionLayout.h"

// The header at the front of every frame, laid out as Windows' BITMAPINFOHEADER (40 bytes).
#pragma pack(push, 1)
struct PackedBitmapHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(PackedBitmapHeader) == 40);

namespace kalimo::media {

// Rewrites `packed` as the packed 24-bit bottom-up bitmap of a top-down BGRx picture (4 bytes a
// pixel, the fourth ignored) of `width` × `height` with rows `sourceStride` bytes apart. Reuses
// the vector's storage from frame to frame. False (and `packed` empty) for a size below 1 × 1 or a
// stride shorter than a row.
bool PackBgrxFrame(const unsigned char* topDownBgrx, int width, int height, int sourceStride,
                   std::vector<unsigned char>& packed);

// The picture of a packed bitmap as a screen capture makes it: uncompressed, 24 bits, bottom-up,
// at most 65535 pixels a side. Empty (null bits) for anything else. The caller vouches that the
// memory holds the rows the header announces.
FrameView ReadPackedFrame(const void* packedBitmap);

// Writes a packed bitmap's picture into the process's frame section; the section's copy, empty
// when it is no such bitmap or did not get there.
FrameView SendPackedFrame(const void* packedBitmap);

}  // namespace kalimo::media
