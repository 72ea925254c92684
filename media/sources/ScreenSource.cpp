#include "media/sources/ScreenSource.h"

#include <cstdlib>

#include "media/sources/PackedBitmap.h"

namespace kalimo::media {

ScreenSource::~ScreenSource() { Stop(); }

void ScreenSource::Stop() {
  pipeline_.Stop();
  preview_ = {};
  width_ = height_ = 0;
}

bool ScreenSource::Start(FramePreview preview, std::string& error) {
  Stop();
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    error = "DISPLAY is not set (no X display to read)";
    return false;
  }
  if (error = ScreenCapturePipeline::MissingElementsError(false, false); !error.empty()) return false;
  preview_ = std::move(preview);
  auto send = [this](const std::vector<unsigned char>& packed) {
    const FrameView written = SendPackedFrame(packed.data());
    if (!written) return;
    width_ = written.width;
    height_ = written.height;
    if (preview_) preview_(written);
  };
  if (!pipeline_.StartFrames(CaptureSource{}, send, error) || !pipeline_.WaitUntilRunning(error)) {
    error = "display " + std::string(display) + ": " + error;
    Stop();
    return false;
  }
  return true;
}

bool ScreenSource::Poll(std::string& error) {
  if (!pipeline_.Poll(error)) {
    error = "the screen capture stopped" + (error.empty() ? std::string() : ": " + error);
    return false;
  }
  return true;
}

}  // namespace kalimo::media
