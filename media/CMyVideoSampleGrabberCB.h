#pragma once
// The frame tap of the video file player, shared by every player of the process: it passes each
// decoded frame of the file's own size straight into the frame section. Only one player loads with
// the tap at a time (the video window's), so one size is enough. Its log records belong to the
// player (source CMyVideoPlayer), which is why it is implemented in CMyVideoPlayer.cpp.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/FrameSectionLayout.h"

namespace kalimo::media {

class CMyVideoSampleGrabberCB {
 public:
  static CMyVideoSampleGrabberCB& Instance();

  // Set by a load with the tap: the video's own width and height.
  void SetFrameSize(int width, int height);
  int Width() const { return width_.load(); }
  int Height() const { return height_.load(); }

  // Streaming thread, once per frame: `topDownRows` are `sourceStride` bytes apart and the frame
  // is `bufferLength` bytes long. A frame whose length is not DIB stride × height of the stored size
  // is dropped; the rest go into the section in one copy. Returns 0 like the grabber callback.
  // An optional step after each frame went into the section (a headless feeder's recording), given
  // the section's own bottom-up copy of the frame. Empty for none.
  using FrameStep = std::function<void(const FrameView& frame)>;
  void SetFrameStep(FrameStep step);

  int BufferCB(double sampleTime, const unsigned char* topDownRows, std::int32_t sourceStride,
               std::int32_t bufferLength);

 private:
  CMyVideoSampleGrabberCB() = default;
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::mutex stepLock_;
  FrameStep step_;
};

}  // namespace kalimo::media
