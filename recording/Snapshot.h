#pragma once
// Camera photos: their size and their JPEG file.
#include <optional>
#include <string>

namespace kalimo {

struct PictureSize {
  int width = 0;
  int height = 0;
  bool operator==(const PictureSize&) const = default;
};

// The largest format the open camera offers; 1600 x 1200 until a camera sets it when it opens.
inline constexpr PictureSize kDefaultLargestCameraSize{1600, 1200};
void SetLargestCameraFrameSize(PictureSize size);
PictureSize LargestCameraFrameSize();

// The photo size: `configured` (the settings' 640 x 480) unless the camera's largest format is
// smaller in either direction; then the largest width, and a height keeping the current frame's
// aspect ratio.
PictureSize SnapshotSize(PictureSize configured, PictureSize largestCamera, PictureSize frame);

// The installed image writer for MIME type "image/jpeg" (its format name), if any.
std::optional<std::string> FindJpegEncoder();

// Saves a frame of `width` x `height` (24-bit bottom-up rows padded to 4 bytes, `length` bytes) as
// a JPEG of quality 100 at `wanted` size, scaled bicubically when the sizes differ. A missing or
// short frame is refused without a message; a failed save shows the status text through
// ShowWarning; without a JPEG encoder nothing is saved and nothing shown. True when the file was
// written.
bool SaveSnapshot(const unsigned char* frame, int length, int width, int height, const std::string& path,
                  PictureSize wanted);

}  // namespace kalimo
