#pragma once
// The X11 screen of $DISPLAY as a frame source: ximagesrc at 15 frames per second, scaled down to
// fit 1920 × 1080 when larger (the frame section carries at most about 18 MB per frame).
#include <memory>
#include <string>

#include "media/BgrFrameSink.h"
#include "media/FrameSource.h"

typedef struct _GstElement GstElement;

namespace kalimo::media {

class ScreenSource : public FrameSource {
 public:
  static constexpr int kFramesPerSecond = 15;

  ScreenSource() = default;
  ~ScreenSource() override;

  // Fails when DISPLAY is not set, the display cannot be opened (named in `error`) or the capture
  // elements are missing.
  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  // False once the stream failed or ended after the start.
  bool Poll(std::string& error) override;
  FrameSize Size() const override;
  double FrameRate() const override { return kFramesPerSecond; }
  std::string Label() const override { return "screen"; }

 private:
  FramePreview preview_;
  std::unique_ptr<BgrFrameSink> sink_;
  GstElement* pipeline_ = nullptr;
};

}  // namespace kalimo::media
