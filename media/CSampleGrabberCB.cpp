#include "media/CSampleGrabberCB.h"

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"

namespace kalimo::media {

CSampleGrabberCB& CSampleGrabberCB::Preview() {
  static CSampleGrabberCB instance;
  return instance;
}

void CSampleGrabberCB::SetFrameSize(FrameSize size) {
  width_.store(size.width);
  height_.store(size.height);
}

void CSampleGrabberCB::SetLargestSize(FrameSize size) {
  largestWidth_.store(size.width);
  largestHeight_.store(size.height);
}

void CSampleGrabberCB::SetFrameStep(FrameStep step) {
  std::lock_guard guard(stepLock_);
  step_ = std::move(step);
}

int CSampleGrabberCB::BufferCB(double /*sampleTime*/, const FrameView& topDownFrame) {
  const int width = width_.load();
  const int height = height_.load();
  if (!topDownFrame || topDownFrame.width != width || topDownFrame.height != height ||
      topDownFrame.stride < width * 3 || topDownFrame.stride > INT32_MAX ||
      topDownFrame.byteCount != topDownFrame.stride * height)
    return 0;
  const FrameView written = WriteTopDownFrameToSection(topDownFrame.bits, ProcessFrameSectionHandle(),
                                                       static_cast<std::int32_t>(topDownFrame.stride), width, height);
  if (!written) return 0;
  // The steps get the section's own bottom-up copy: exactly the picture the virtual camera has.
  std::lock_guard guard(stepLock_);
  if (step_) step_(written);
  return 0;
}

}  // namespace kalimo::media
