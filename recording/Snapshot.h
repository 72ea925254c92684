#pragma once
// Camera photos: their size and their JPEG file.
#include <optional>
#include <string>

#include "common/FrameSectionLayout.h"

namespace kalimo {

// The largest format the open camera offers; 1600 x 1200 until a camera sets it when it opens.
inline constexpr FrameSize kDefaultLargestCameraSize{1600, 1200};
void SetLargestCameraFrameSize(FrameSize size);
FrameSize LargestCameraFrameSize();

// The photo size: `configured` (the settings' 640 x 480) unless the camera's largest format is
// smaller in either direction; then the largest width, and a height keeping the current frame's
// aspect ratio.
FrameSize SnapshotSize(FrameSize configured, FrameSize largestCamera, FrameSize frame);

// The installed image writer for MIME type "image/jpeg" (its format name), if any.
std::optional<std::string> FindJpegEncoder();

// Saves a frame of `width` x `height` (24-bit bottom-up rows padded to 4 bytes, `length` bytes) as
// a JPEG of quality 100 at `wanted` size, scaled bicubically when the sizes differ. A missing or
// short frame is refused without a message; a failed save shows the status text through
// ShowWarning; without a JPEG encoder nothing is saved and nothing shown. True when the file was
// written.
bool SaveSnapshot(const unsigned char* frame, int length, int width, int height, const std::string& path,
                  FrameSize wanted);

}  // namespace kalimo
