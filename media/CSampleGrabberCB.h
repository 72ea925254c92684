#pragma once
// The camera's frame tap: each frame goes into the frame section, then to the photo and recording
// steps, on the camera's streaming thread. One process-wide object serves the preview stream
// (Linux cameras have no separate still-image stream, so there is no second one).
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/FrameSectionLayout.h"
#include "media/CameraFormats.h"

namespace kalimo::media {

class CSampleGrabberCB {
 public:
  // The photo and recording steps, given the frame as the virtual camera received it: 24-bit
  // bottom-up rows padded to 4 bytes. Runs on the streaming thread.
  using FrameStep = std::function<void(const FrameView& frame)>;

  static CSampleGrabberCB& Preview();

  void SetFrameSize(FrameSize size);
  FrameSize Size() const { return {width_.load(), height_.load()}; }
  // The largest format of the open camera, for the photo size (1600 × 1200 until a camera opens).
  void SetLargestSize(FrameSize size);
  FrameSize LargestSize() const { return {largestWidth_.load(), largestHeight_.load()}; }
  // Installed by the camera window (or the feeder); empty for none.
  void SetFrameStep(FrameStep step);

  // Streaming thread, once per frame of top-down rows. A frame that is not of the stored size, or
  // whose length is not stride × height, is dropped: copying it with the stored size would read
  // past its end.
  int BufferCB(double sampleTime, const FrameView& topDownFrame);

 private:
  CSampleGrabberCB() = default;
  std::atomic<int> width_{640};
  std::atomic<int> height_{480};
  std::atomic<int> largestWidth_{1600};
  std::atomic<int> largestHeight_{1200};
  std::mutex stepLock_;  // uncontended except while a window swaps the step
  FrameStep step_;
};

}  // namespace kalimo::media
