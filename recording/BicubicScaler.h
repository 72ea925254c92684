#pragma once
// High-quality bicubic scaling of 24-bit pictures (Keys' cubic, a = -0.5). When shrinking, the
// kernel is widened by the scale factor so that every source pixel contributes (no aliasing).
#include <cstdint>

namespace kalimo {

// Scales `source` (width x height, 3 bytes per pixel, rows `sourceStride` bytes apart) into
// `target` (targetWidth x targetHeight, rows `targetStride` bytes apart). Channel order is kept.
// Sizes must be positive.
void ScaleBicubic24(const std::uint8_t* source, int width, int height, int sourceStride, std::uint8_t* target,
                    int targetWidth, int targetHeight, int targetStride);

}  // namespace kalimo
