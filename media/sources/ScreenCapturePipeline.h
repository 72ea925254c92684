#pragma once
// The one pipeline that captures the screen, for the screen-capture component and kalimo-feed alike:
// ximagesrc on X11 at a fixed rate, or pipewiresrc on the stream of the desktop's ScreenCast portal;
// either hands each frame as a packed bitmap to a function (brought down to fit 1920 × 1080 when
// larger, as the frame section carries at most about 18 MB a frame) or encodes it into a WebM file.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _GstElement GstElement;

namespace kalimo::media {

// A rectangle of the screen in pixels; an empty one means the whole screen.
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool IsWholeScreen() const { return width <= 0 || height <= 0; }
};

// Where the pictures come from: an area of the X display, or the PipeWire node of a portal stream
// reached through the portal's connection.
struct CaptureSource {
  ScreenArea area;
  int pipeWireFd = -1;  // the pipeline takes its own copy
  std::uint32_t nodeId = 0;
  bool IsPortalStream() const { return pipeWireFd >= 0; }
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

  // What the user must install before a portal stream or the X display can be captured (or
  // recorded); empty when nothing.
  static std::string MissingElementsError(bool portalStream, bool recording);
  // Both start the capture of `source`; false with `error` naming what is missing.
  bool StartFrames(const CaptureSource& source, PackedFrameReceiver receiver, std::string& error);
  bool StartRecording(const CaptureSource& source, const std::string& filePath, std::string& error);
  // False once the pipeline reported an error (named in `error`).
  bool Poll(std::string& error);
  // Waits until the first frame is ready or the pipeline failed (`error` says why); for a caller
  // that must know at once whether the display could be read.
  bool WaitUntilRunning(std::string& error);
  // Ends the capture: a recording is finished (its duration and index written), then everything
  // stops. When Stop returns, the receiver is not called again.
  void Stop();

 private:
  // `filePath` goes to the element named "file", when there is one.
  bool Launch(const CaptureSource& source, const std::string& description, std::string& error,
              const std::string& filePath);
  static int OnNewSample(GstElement* sink, void* self);

  GstElement* pipeline_ = nullptr;
  PackedFrameReceiver receiver_;
  std::vector<unsigned char> packed_;
  std::atomic<bool> delivering_{false};
  bool recording_ = false;
};

}  // namespace kalimo::media
