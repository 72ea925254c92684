#include "components/PackedBitmap.h"

#include <cstring>

namespace kalimo::screencapture {

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

}  // namespace kalimo::screencapture
