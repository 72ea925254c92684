#pragma once
// The frame tap of a video file player: it passes each decoded frame, at the size the frame itself
// carries, straight into the frame section. Each player has its own; the size comes with every
// frame, so that a continuation into a file of another size needs nobody to tell the tap. Its log
// records belong to the player (source CMyVideoPlayer), which is why it is implemented in
// CMyVideoPlayer.cpp.
#include <functional>
#include <mutex>

#include "common/FrameSectionLayout.h"

namespace kalimo::media {

class CMyVideoSampleGrabberCB {
 public:
  // An optional step after each frame went into the section (a headless feeder's recording), given
  // the section's own bottom-up copy of the frame. Empty for none.
  using FrameStep = std::function<void(const FrameView& frame)>;
  void SetFrameStep(FrameStep step);

  // Streaming thread, once per frame of top-down rows. A frame whose length is not DIB stride ×
  // height of its own size, or whose rows do not fit in that length, is dropped; the rest go into
  // the section in one copy. Returns 0 like the grabber callback.
  int BufferCB(double sampleTime, const FrameView& topDownFrame);

 private:
  std::mutex stepLock_;
  FrameStep step_;
};

}  // namespace kalimo::media
