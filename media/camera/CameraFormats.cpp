#include "media/camera/CameraFormats.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kalimo::media {

namespace {

// Within 1 %: 1600 × 1200 and 1280 × 960 are 4:3, so is 1366 × 1024, roughly.
bool SameShape(FrameSize a, FrameSize b) {
  const std::int64_t left = std::int64_t{a.width} * b.height;
  const std::int64_t right = std::int64_t{a.height} * b.width;
  return std::llabs(left - right) * 100 <= right;
}

// Even sides: most picture formats and encoders want them.
int RoundToEven(double value) { return std::max(2, 2 * static_cast<int>(std::lround(value / 2))); }

}  // namespace

std::optional<FrameSize> LargestFormat(const std::vector<FrameSize>& offered) {
  FrameSize best;
  bool found = false;
  for (const FrameSize& size : offered) {
    if (size.width <= 0 || size.height <= 0) continue;
    if (size.width >= best.width && size.height >= best.height) {
      best = size;
      found = true;
    }
  }
  if (!found) return std::nullopt;
  return best;
}

FrameSize ChooseCaptureSize(FrameSize largest, FrameSize requested, RequestedSizeOffered offered) {
  if (largest.width < requested.width || largest.height < requested.height) return largest;
  if (offered == RequestedSizeOffered::Yes || SameShape(largest, requested)) return requested;
  const double scale = std::min(static_cast<double>(requested.width) / largest.width,
                                static_cast<double>(requested.height) / largest.height);
  return {RoundToEven(largest.width * scale), RoundToEven(largest.height * scale)};
}

}  // namespace kalimo::media
