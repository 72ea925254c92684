#pragma once
// The X11 screen as a source for kalimo-feed: ximagesrc at 15 frames per second, scaled down to fit
// 1920 × 1080 when larger (the frame section carries at most about 18 MB per frame).
#include <functional>
#include <memory>
#include <string>

#include "media/BgrFrameSink.h"

typedef struct _GstElement GstElement;

namespace kalimo::feed {

class ScreenSource {
 public:
  static constexpr int kFramesPerSecond = 15;

  // `onFrame` gets each frame on the streaming thread after it went into the frame section.
  explicit ScreenSource(std::function<void(const unsigned char*, int, int, int)> onFrame);
  ~ScreenSource();
  ScreenSource(const ScreenSource&) = delete;
  ScreenSource& operator=(const ScreenSource&) = delete;

  // Starts capturing; false with `error` when there is no X display or the capture cannot start.
  bool Start(std::string& error);
  // True once the stream failed or ended after the start.
  bool Stopped() const;

 private:
  std::function<void(const unsigned char*, int, int, int)> onFrame_;
  std::unique_ptr<media::BgrFrameSink> sink_;
  GstElement* pipeline_ = nullptr;
};

}  // namespace kalimo::feed
