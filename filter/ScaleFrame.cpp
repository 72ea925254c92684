#include "filter/ScaleFrame.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/FrameSectionLayout.h"

namespace kalimo {

void StretchFrame(const unsigned char* bits, std::size_t srcBytes, std::int32_t srcWidth, std::int32_t srcHeight,
                  unsigned char* dst, std::int64_t dstStride, std::int32_t dstWidth, std::int32_t dstHeight,
                  bool dstTopDown) {
  if (!dst || dstWidth <= 0 || dstHeight <= 0) return;
  const std::int64_t dstRowBytes = std::int64_t{dstWidth} * 3;
  const bool noSource = !bits || srcWidth <= 0 || srcHeight <= 0;
  const std::int64_t srcStride = noSource ? 0 : DibStride(srcWidth);
  const bool sameSize = srcWidth == dstWidth && srcHeight == dstHeight;

  // Source column of every destination column, computed once per frame.
  std::vector<std::int32_t> columns;
  if (!noSource && !sameSize) {
    columns.resize(static_cast<std::size_t>(dstWidth));
    for (std::int32_t x = 0; x < dstWidth; ++x) {
      columns[static_cast<std::size_t>(x)] =
          static_cast<std::int32_t>(std::int64_t{x} * srcWidth / dstWidth);
    }
  }

  for (std::int32_t y = 0; y < dstHeight; ++y) {  // y counts bottom-up, as in the DIB
    unsigned char* out = dst + (dstTopDown ? dstHeight - 1 - y : y) * dstStride;
    if (noSource) {
      std::memset(out, 0, static_cast<std::size_t>(dstRowBytes));
      continue;
    }
    const std::int64_t sourceRow = sameSize ? y : std::int64_t{y} * srcHeight / dstHeight;
    const std::int64_t rowStart = sourceRow * srcStride;
    // How many bytes of this source row the frame really holds.
    const std::int64_t available =
        std::clamp<std::int64_t>(static_cast<std::int64_t>(srcBytes) - rowStart, 0, std::int64_t{srcWidth} * 3);
    const unsigned char* in = bits + (available > 0 ? rowStart : 0);
    if (sameSize) {
      std::memcpy(out, in, static_cast<std::size_t>(available));
      std::memset(out + available, 0, static_cast<std::size_t>(dstRowBytes - available));
      continue;
    }
    const std::int32_t availablePixels = static_cast<std::int32_t>(available / 3);
    for (std::int32_t x = 0; x < dstWidth; ++x) {
      const std::int32_t sx = columns[static_cast<std::size_t>(x)];
      unsigned char* pixel = out + std::int64_t{x} * 3;
      if (sx < availablePixels) {
        std::memcpy(pixel, in + std::int64_t{sx} * 3, 3);
      } else {
        std::memset(pixel, 0, 3);
      }
    }
  }
}

std::vector<unsigned char> ScaleFrame(const unsigned char* bits, std::size_t srcBytes, std::int32_t dstWidth,
                                      std::int32_t dstHeight, std::int32_t srcWidth, std::int32_t srcHeight) {
  if (dstWidth <= 0 || dstHeight <= 0) return {};
  const std::int64_t stride = DibStride(dstWidth);
  std::vector<unsigned char> result;
  try {
    result.assign(static_cast<std::size_t>(stride * dstHeight), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  StretchFrame(bits, srcBytes, srcWidth, srcHeight, result.data(), stride, dstWidth, dstHeight, false);
  return result;
}

}  // namespace kalimo
