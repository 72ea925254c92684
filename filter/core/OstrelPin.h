#pragma once
// The camera output's own logic, apart from the media framework around it: the sizes it offers,
// its frame count and time stamps, and what goes into each buffer.
#include <cstddef>
#include <cstdint>

#include "filter/core/FrameReceiver.h"

namespace kalimo {

class OstrelPin {
 public:
  // The sizes offered, preferred first.
  static constexpr FrameSize kSizes[] = {{640, 480}, {320, 240}};
  static constexpr std::int32_t kFramesPerSecond = 30;
  static constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

  // Start and length of frame `frameNumber`'s time span in nanoseconds: exact multiples of 1/30 s,
  // rounded down, so the stamps never drift.
  static std::int64_t FrameStart(std::int64_t frameNumber) {
    return frameNumber * kNanosecondsPerSecond / kFramesPerSecond;
  }
  static std::int64_t FrameLength(std::int64_t frameNumber) {
    return FrameStart(frameNumber + 1) - FrameStart(frameNumber);
  }

  struct Stamp {
    std::int64_t start;
    std::int64_t duration;
  };

  // Fills one output buffer, `bytes` long, whose 24-bit picture `target` describes (its size, its
  // stride, its row order), with the receiver's oldest frame, or black while there is none, and
  // stamps it. The first buffer of this output's life starts the main program when it is not
  // running. `choice` picks the receiver's oldest frame (the default) or its newest (low latency);
  // `fit` stretches a picture of another shape over the buffer or keeps its shape.
  Stamp FillBuffer(FrameReceiver* receiver, const FrameTarget& target, std::size_t bytes,
                   FrameChoice choice = FrameChoice::kOldest, FrameFit fit = FrameFit::kStretch);

  // The last buffer filled never reached the client: its number goes to the next one.
  void TakeBackLastFrame() {
    if (frameNumber_ > 0) --frameNumber_;
  }

  std::int64_t FrameNumber() const { return frameNumber_; }
  // True once a buffer carried a picture from the frame section rather than black.
  bool PictureReceived() const { return pictureReceived_; }
  // The start of the next buffer's time span.
  std::int64_t NextFrameStart() const { return FrameStart(frameNumber_); }

 private:
  std::int64_t frameNumber_ = 0;  // buffers filled for the client; never reset while the output exists
  bool pictureReceived_ = false;
  bool launchTried_ = false;  // the main program is started at the first buffer only
};

}  // namespace kalimo
