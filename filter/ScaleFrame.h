#pragma once
// Nearest-neighbour copy of 24-bit DIB pictures: rows and columns are repeated or dropped, colours
// never blended.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalimo {

// How a picture of another shape fills the output: stretched over all of it, or scaled to fit with
// its own shape, centred, and the rest of the output black.
enum class FrameFit { kStretch, kKeepAspect };

// Copies the bottom-up DIB `bits` (srcWidth x srcHeight, `srcBytes` bytes) into `dst`, a picture of
// dstWidth x dstHeight whose rows are `dstStride` bytes apart, top row first when `dstTopDown`.
// Sizes that match give a plain copy. Bytes the source does not hold (a frame shorter than its
// stride times its height, or a width or height of 0) come out black; nothing past `srcBytes` is
// read. The caller guarantees that dst holds dstStride * dstHeight bytes.
// With FrameFit::kKeepAspect the picture fills the largest centred area of its own shape (rounded to
// whole pixels, at least one), and every byte of the rows and columns beside it is black.
void StretchFrame(const unsigned char* bits, std::size_t srcBytes, std::int32_t srcWidth, std::int32_t srcHeight,
                  unsigned char* dst, std::int64_t dstStride, std::int32_t dstWidth, std::int32_t dstHeight,
                  bool dstTopDown, FrameFit fit = FrameFit::kStretch);

// A new bottom-up DIB of dstWidth x dstHeight (4-byte padded rows) from `bits`; empty when a
// destination size is not positive or the buffer cannot be allocated.
std::vector<unsigned char> ScaleFrame(const unsigned char* bits, std::size_t srcBytes, std::int32_t dstWidth,
                                      std::int32_t dstHeight, std::int32_t srcWidth, std::int32_t srcHeight);

}  // namespace kalimo
