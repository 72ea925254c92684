#pragma once
// Which size a camera is opened at: the requested size, unless the camera's largest format is
// smaller in either direction, in which case the largest.
#include <optional>
#include <vector>

#include "common/FrameSectionLayout.h"

namespace kalimo::media {

// The largest of the offered sizes: a size replaces the best so far when both its width and its
// height are at least the best's (ties go to the later one). Empty when nothing is offered.
std::optional<FrameSize> LargestFormat(const std::vector<FrameSize>& offered);

FrameSize ChooseCaptureSize(FrameSize largest, FrameSize requested);

}  // namespace kalimo::media
