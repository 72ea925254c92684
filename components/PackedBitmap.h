#pragma once
// The packed bitmap the component hands to the frame callback: header, colour table, bits.
#include <cstdint>
#include <vector>

#include "common/FrameSectionLayout.h"
#include "components/ScreenCaptureApi.h"

namespace kalimo::screencapture {

// Rewrites `packed` as the packed 24-bit bottom-up bitmap of a top-down BGRx picture (4 bytes a
// pixel, the fourth ignored) of `width` × `height` with rows `sourceStride` bytes apart. Reuses
// the vector's storage from frame to frame. False (and `packed` empty) for a size below 1 × 1 or a
// stride shorter than a row.
bool PackBgrxFrame(const unsigned char* topDownBgrx, int width, int height, int sourceStride,
                   std::vector<unsigned char>& packed);

}  // namespace kalimo::screencapture
