#pragma once
// The X11 screen of $DISPLAY as a frame source, captured by the same pipeline as the screen tab's.
#include <atomic>
#include <string>

#include "media/sources/FrameSource.h"
#include "media/sources/ScreenCapturePipeline.h"

namespace kalimo::media {

class ScreenSource : public FrameSource {
 public:
  ScreenSource() = default;
  ~ScreenSource() override;

  // Fails when DISPLAY is not set, the display cannot be opened (named in `error`) or the capture
  // elements are missing.
  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  // False once the stream failed or ended after the start.
  bool Poll(std::string& error) override;
  FrameSize Size() const override { return {width_, height_}; }
  double FrameRate() const override { return ScreenCapturePipeline::kFramesPerSecond; }
  std::string Label() const override { return "screen"; }

 private:
  FramePreview preview_;
  ScreenCapturePipeline pipeline_;
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
};

}  // namespace kalimo::media
