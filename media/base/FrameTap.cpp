#include "media/base/FrameTap.h"

#include "common/ApplyDataToOstrel.h"
#include "common/Logging.h"

namespace kalimo::media {

namespace {
// The frame length that was logged last, process-wide: a new player logs only a length that changed.
std::atomic<std::int64_t> loggedLength{0};
}  // namespace

void FrameTap::SetFrameStep(FrameStep step) {
  std::lock_guard guard(stepLock_);
  step_ = std::move(step);
}

void FrameTap::ExpectSize(FrameSize size) {
  expectedWidth_.store(size.width);
  expectedHeight_.store(size.height);
}

int FrameTap::BufferCB(double /*sampleTime*/, const FrameView& topDownFrame) {
  const std::int32_t width = topDownFrame.width;
  const std::int32_t height = topDownFrame.height;
  const int expectedWidth = expectedWidth_.load();
  const int expectedHeight = expectedHeight_.load();
  if (!topDownFrame || width <= 0 || height <= 0) return 0;
  if ((expectedWidth > 0 || expectedHeight > 0) && (width != expectedWidth || height != expectedHeight)) return 0;
  if (topDownFrame.stride < std::int64_t{width} * 3 || topDownFrame.byteCount != topDownFrame.stride * height) return 0;
  if (sizeLogFile_ && loggedLength.exchange(topDownFrame.byteCount) != topDownFrame.byteCount) {
    log::Write(log::Level::Info,
               log::Format("grabber sample width = %d,height=%d,buffersize = %lld", width, height,
                           static_cast<long long>(topDownFrame.byteCount)),
               sizeLogFile_, 0);
  }
  const FrameView written = WriteTopDownFrameToSection(topDownFrame, ProcessFrameSectionHandle());
  if (!written) return 0;
  std::lock_guard guard(stepLock_);
  if (step_) step_(written);
  return 0;
}

}  // namespace kalimo::media
