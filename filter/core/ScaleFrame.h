#pragma once
// Nearest-neighbour copy of 24-bit DIB pictures: rows and columns are repeated or dropped, colours
// never blended.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/FrameSectionLayout.h"

namespace kalimo {

// How a picture of another shape fills the output: stretched over all of it, or scaled to fit with
// its own shape, centred, and the rest of the output black.
enum class FrameFit { kStretch, kKeepAspect };

enum class RowOrder { kBottomUp, kTopDown };

// The picture StretchFrame draws into: width x height, rows `stride` bytes apart, in `order`. The
// caller guarantees that `bits` holds stride * height bytes.
struct FrameTarget {
  unsigned char* bits = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int64_t stride = 0;
  RowOrder order = RowOrder::kBottomUp;
};

// Copies the bottom-up picture `source` into `target`. Sizes that match give a plain copy. Bytes
// the source does not hold (a frame shorter than its stride times its height, or a width or height
// of 0) come out black; nothing past its byte count is read.
// With FrameFit::kKeepAspect the picture fills the largest centred area of its own shape (rounded to
// whole pixels, at least one), and every byte of the rows and columns beside it is black.
void StretchFrame(const FrameView& source, const FrameTarget& target, FrameFit fit = FrameFit::kStretch);

// A new bottom-up DIB of width x height (4-byte padded rows) from `source`; empty when a size is
// not positive or the buffer cannot be allocated.
std::vector<unsigned char> ScaleFrame(const FrameView& source, std::int32_t width, std::int32_t height);

}  // namespace kalimo
