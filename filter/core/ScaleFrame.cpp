#include "filter/core/ScaleFrame.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/FrameSectionLayout.h"

namespace kalimo {

namespace {

// Where the picture lies in the output, in the DIB's bottom-up rows.
struct PictureArea {
  std::int32_t left;
  std::int32_t bottom;
  std::int32_t width;
  std::int32_t height;
};

PictureArea AreaOfPicture(std::int32_t srcWidth, std::int32_t srcHeight, std::int32_t dstWidth,
                          std::int32_t dstHeight, FrameFit fit) {
  if (fit == FrameFit::kStretch || srcWidth <= 0 || srcHeight <= 0) return {0, 0, dstWidth, dstHeight};
  std::int64_t width = dstWidth;
  std::int64_t height = dstHeight;
  // Rounded to the nearest, and never thinner than one pixel.
  if (std::int64_t{srcWidth} * dstHeight > std::int64_t{srcHeight} * dstWidth) {
    height = std::max<std::int64_t>(1, (std::int64_t{dstWidth} * srcHeight * 2 + srcWidth) / (2 * srcWidth));
  } else {
    width = std::max<std::int64_t>(1, (std::int64_t{dstHeight} * srcWidth * 2 + srcHeight) / (2 * srcHeight));
  }
  const auto left = static_cast<std::int32_t>((dstWidth - width) / 2);
  const auto top = static_cast<std::int32_t>((dstHeight - height) / 2);
  return {left, static_cast<std::int32_t>(dstHeight - top - height), static_cast<std::int32_t>(width),
          static_cast<std::int32_t>(height)};
}

}  // namespace

void StretchFrame(const FrameView& source, const FrameTarget& target, FrameFit fit) {
  const unsigned char* bits = source.bits;
  const std::int64_t srcBytes = source.byteCount;
  const std::int32_t srcWidth = source.width;
  const std::int32_t srcHeight = source.height;
  unsigned char* dst = target.bits;
  const std::int32_t dstWidth = target.width;
  const std::int32_t dstHeight = target.height;
  const std::int64_t dstStride = target.stride;
  const bool dstTopDown = target.order == RowOrder::kTopDown;
  if (!dst || dstWidth <= 0 || dstHeight <= 0) return;
  const std::int64_t dstRowBytes = std::int64_t{dstWidth} * 3;
  const bool noSource = !bits || srcWidth <= 0 || srcHeight <= 0;
  const std::int64_t srcStride = noSource ? 0 : source.stride;
  const PictureArea area = AreaOfPicture(srcWidth, srcHeight, dstWidth, dstHeight, fit);
  const bool sameSize = srcWidth == area.width && srcHeight == area.height && area.width == dstWidth;

  // Source column of every destination column (-1 beside the picture), computed once per frame.
  std::vector<std::int32_t> columns;
  if (!noSource && !sameSize) {
    columns.assign(static_cast<std::size_t>(dstWidth), -1);
    for (std::int32_t x = 0; x < area.width; ++x) {
      columns[static_cast<std::size_t>(area.left + x)] =
          static_cast<std::int32_t>(std::int64_t{x} * srcWidth / area.width);
    }
  }

  for (std::int32_t y = 0; y < dstHeight; ++y) {  // y counts bottom-up, as in the DIB
    unsigned char* out = dst + (dstTopDown ? dstHeight - 1 - y : y) * dstStride;
    const std::int32_t pictureRow = y - area.bottom;
    if (noSource || pictureRow < 0 || pictureRow >= area.height) {
      std::memset(out, 0, static_cast<std::size_t>(dstRowBytes));
      continue;
    }
    const std::int64_t sourceRow = sameSize ? pictureRow : std::int64_t{pictureRow} * srcHeight / area.height;
    const std::int64_t rowStart = sourceRow * srcStride;
    // How many bytes of this source row the frame really holds.
    const std::int64_t available =
        std::clamp<std::int64_t>(srcBytes - rowStart, 0, std::int64_t{srcWidth} * 3);
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
      if (sx >= 0 && sx < availablePixels) {
        std::memcpy(pixel, in + std::int64_t{sx} * 3, 3);
      } else {
        std::memset(pixel, 0, 3);
      }
    }
  }
}

std::vector<unsigned char> ScaleFrame(const FrameView& source, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return {};
  const std::int64_t stride = DibStride(width);
  std::vector<unsigned char> result;
  try {
    result.assign(static_cast<std::size_t>(stride * height), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  StretchFrame(source, {result.data(), width, height, stride, RowOrder::kBottomUp});
  return result;
}

}  // namespace kalimo
