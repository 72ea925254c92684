#include "media/sources/PackedBitmap.h"

#include <cstring>

#include "common/ApplyDataToOstrel.h"

namespace kalimo::media {

bool PackBgrxFrame(const unsigned char* topDownBgrx, int width, int height, int sourceStride,
                   std::vector<unsigned char>& packed) {
  if (!topDownBgrx || width < 1 || height < 1 || sourceStride < width * 4) {
    packed.clear();
    return false;
  }
  const std::int64_t rowBytes = DibStride(width);
  const std::int64_t imageBytes = rowBytes * height;
  packed.resize(sizeof(PackedBitmapHeader) + static_cast<std::size_t>(imageBytes));

  PackedBitmapHeader header{};
  header.biSize = sizeof(PackedBitmapHeader);
  header.biWidth = width;
  header.biHeight = height;  // positive: bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = 0;  // BI_RGB
  header.biSizeImage = static_cast<std::uint32_t>(imageBytes);
  std::memcpy(packed.data(), &header, sizeof header);

  unsigned char* bits = packed.data() + sizeof header;
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = topDownBgrx + static_cast<std::int64_t>(y) * sourceStride;
    unsigned char* target = bits + static_cast<std::int64_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      target[0] = source[0];
      target[1] = source[1];
      target[2] = source[2];
      target += 3;
      source += 4;
    }
    for (std::int64_t pad = width * 3; pad < rowBytes; ++pad) *target++ = 0;
  }
  return true;
}

FrameView ReadPackedFrame(const void* packedBitmap) {
  if (!packedBitmap) return {};
  PackedBitmapHeader header{};
  std::memcpy(&header, packedBitmap, sizeof header);
  if (header.biSize < sizeof(PackedBitmapHeader) || header.biBitCount != 24 || header.biCompression != 0 ||
      header.biWidth < 1 || header.biHeight < 1 || header.biWidth > 65535 || header.biHeight > 65535 ||
      header.biClrUsed > 256)
    return {};
  const auto* bits = static_cast<const unsigned char*>(packedBitmap) + header.biSize + header.biClrUsed * 4;
  return DibFrame(bits, header.biWidth, header.biHeight, DibStride(header.biWidth) * header.biHeight);
}

FrameView SendPackedFrame(const void* packedBitmap) {
  const FrameView frame = ReadPackedFrame(packedBitmap);
  if (!frame || frame.byteCount > kMaxFrameBytes) return {};
  return WriteFrameToSection(frame.bits, ProcessFrameSectionHandle(), static_cast<std::int32_t>(frame.byteCount),
                             frame.width, frame.height);
}

}  // namespace kalimo::media
