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

int CSampleGrabberCB::BufferCB(double /*sampleTime*/, const unsigned char* topDownRows, std::int32_t sourceStride,
                               std::int32_t bufferLength) {
  const int width = width_.load();
  const int height = height_.load();
  if (!topDownRows || sourceStride < width * 3 ||
      static_cast<std::int64_t>(bufferLength) != static_cast<std::int64_t>(sourceStride) * height)
    return 0;
  const FrameView written =
      WriteTopDownFrameToSection(topDownRows, ProcessFrameSectionHandle(), sourceStride, width, height);
  if (!written) return 0;
  // The steps get the section's own bottom-up copy: exactly the picture the virtual camera has.
  std::lock_guard guard(stepLock_);
  if (step_) step_(written);
  return 0;
}

}  // namespace kalimo::media
