#include "media/CameraFormats.h"

namespace kalimo::media {

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

FrameSize ChooseCaptureSize(FrameSize largest, FrameSize requested) {
  if (largest.width < requested.width || largest.height < requested.height) return largest;
  return requested;
}

}  // namespace kalimo::media
