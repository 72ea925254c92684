#pragma once
// Which size a camera is opened at: the requested size, unless the camera's largest format is
// smaller in either direction, in which case the largest; a camera of another shape than the
// requested size, which does not offer that size itself, keeps its shape.
#include <optional>
#include <vector>

#include "common/FrameSectionLayout.h"

namespace kalimo::media {

// The largest of the offered sizes: a size replaces the best so far when both its width and its
// height are at least the best's (ties go to the later one). Empty when nothing is offered.
std::optional<FrameSize> LargestFormat(const std::vector<FrameSize>& offered);

enum class RequestedSizeOffered { No, Yes };

// The largest size when it is smaller than `requested` in either direction. Otherwise `requested`
// when the camera offers it or its largest format has the requested shape; for any other camera
// the largest size fitted into `requested` with the camera's shape (1280 × 720 gives 640 × 360),
// since scaling it to the requested size would stretch the picture.
FrameSize ChooseCaptureSize(FrameSize largest, FrameSize requested, RequestedSizeOffered offered);

}  // namespace kalimo::media
