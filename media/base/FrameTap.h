#pragma once
// A source's frame tap: on the source's streaming thread, each frame of top-down rows is checked,
// written into the frame section (bottom-up, in one copy) and handed, as the section's own copy,
// to the source's step (a photo, a recording, a feeder's preview). Every source has its own.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/FrameSectionLayout.h"

namespace kalimo::media {

class FrameTap {
 public:
  // Given the frame as the virtual camera received it: 24-bit bottom-up rows padded to 4 bytes.
  using FrameStep = std::function<void(const FrameView& frame)>;

  // `sizeLogFile`: the source file whose log records an INFO line each time the length of the
  // frames changes, across all such taps of the process (the video players'); none for a tap that
  // logs nothing.
  explicit FrameTap(const char* sizeLogFile = nullptr) : sizeLogFile_(sizeLogFile) {}
  virtual ~FrameTap() = default;
  FrameTap(const FrameTap&) = delete;
  FrameTap& operator=(const FrameTap&) = delete;

  // Empty for none.
  void SetFrameStep(FrameStep step);
  // Frames of another size are dropped once a size is expected (the camera's negotiated size);
  // {0, 0}, the default, takes every size (a file's size comes with each frame).
  void ExpectSize(FrameSize size);

  // Streaming thread, once per frame. A frame without pixels, of another size than the expected
  // one, or whose byte count is not its stride times its height (rows at least as long as the
  // picture is wide) is dropped: copying it would read past its end. Returns 0 like the grabber
  // callback it stands for.
  int BufferCB(double sampleTime, const FrameView& topDownFrame);

 private:
  const char* sizeLogFile_;
  std::atomic<int> expectedWidth_{0};
  std::atomic<int> expectedHeight_{0};
  std::mutex stepLock_;  // uncontended except while an owner swaps the step
  FrameStep step_;
};

}  // namespace kalimo::media
