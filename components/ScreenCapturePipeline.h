#pragma once
// The GStreamer side of a screen capture on X11: ximagesrc at a fixed rate, either handing each
// frame as a packed bitmap to a function or encoding it into a WebM file.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;

namespace kalimo::screencapture {

// A rectangle of the screen in pixels; an empty one means the whole screen.
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool IsWholeScreen() const { return width <= 0 || height <= 0; }
};

using PackedFrameReceiver = std::function<void(const std::vector<unsigned char>& packedBitmap)>;

class ScreenCapturePipeline {
 public:
  static constexpr int kFramesPerSecond = 15;
  // VP8 at this rate keeps an hour of a 1920 × 1080 screen near 1 GB.
  static constexpr int kRecordingBitsPerSecond = 2'000'000;

  ScreenCapturePipeline() = default;
  ~ScreenCapturePipeline() { Stop(); }
  ScreenCapturePipeline(const ScreenCapturePipeline&) = delete;
  ScreenCapturePipeline& operator=(const ScreenCapturePipeline&) = delete;

  // Both start the capture of `area` of $DISPLAY; false with `error` naming what is missing.
  bool StartFrames(const ScreenArea& area, PackedFrameReceiver receiver, std::string& error);
  bool StartRecording(const ScreenArea& area, const std::string& filePath, std::string& error);
  // False once the pipeline reported an error (named in `error`).
  bool Poll(std::string& error);
  // Ends the capture: a recording is finished (its duration and index written), then everything
  // stops. When Stop returns, the receiver is not called again.
  void Stop();

 private:
  // `filePath` goes to the element named "file", when there is one.
  bool Launch(const std::string& description, std::string& error, const std::string& filePath);
  static int OnNewSample(GstElement* sink, void* self);

  GstElement* pipeline_ = nullptr;
  PackedFrameReceiver receiver_;
  std::vector<unsigned char> packed_;
  std::atomic<bool> delivering_{false};
  bool recording_ = false;
};

}  // namespace kalimo::screencapture
