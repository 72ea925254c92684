#pragma once
// The slideshow's clock: a position in the image list and the seconds counted towards the next
// change, driven by one tick a second. The position only grows; the image list wraps it back to
// the first image when it is at or past the end (ImageList::GetImageAt).
#include <cstdint>
#include <string_view>

namespace kalimo {

// Seconds per image as typed: leading white space, one optional sign, then decimal digits up to
// the first other character, as the C runtime's wide-text `_wtol` reads them. Text without leading
// digits gives 0; values beyond 32 bits saturate.
std::int32_t ReadSecondsPerImage(std::u16string_view text);

class Slideshow {
 public:
  // One second has passed. While running, counts it and, once the count reaches `secondsPerImage`
  // (so every second for a value below 1), moves to the next image and starts counting afresh.
  // Returns true when the image changed.
  bool Tick(std::int32_t secondsPerImage);

  void SetPaused(bool paused) { paused_ = paused; }
  bool IsPaused() const { return paused_; }

  // The position of the image to show; the image list may set it back to 0.
  std::int32_t& ImageIndex() { return imageIndex_; }
  std::int32_t ImageIndex() const { return imageIndex_; }
  std::int32_t TickCount() const { return tickCount_; }

 private:
  std::int32_t imageIndex_ = 0;
  std::int32_t tickCount_ = 0;
  bool paused_ = false;
};

}  // namespace kalimo
