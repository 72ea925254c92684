#pragma once
// A PipeWire camera node (media.class Video/Source, media.role Camera) that publishes the frames it
// is given. It tells its owner when a consumer starts and stops streaming, so that the frames are
// produced only while somebody watches.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct pw_thread_loop;
struct pw_stream;
struct pw_stream_events;
struct spa_pod;

namespace kalimo {

// The pixel formats the node offers, in GStreamer's default layouts.
enum class PixelFormat { kYuy2, kI420, kNv12 };
// Preferred first: what browsers and chat clients take.
inline constexpr PixelFormat kPixelFormats[] = {PixelFormat::kYuy2, PixelFormat::kI420, PixelFormat::kNv12};
// GStreamer's name of the format ("YUY2", "I420", "NV12").
const char* GstFormatName(PixelFormat format);

class PipeWireCamera {
 public:
  // The format a consumer chose.
  struct Format {
    PixelFormat pixelFormat = PixelFormat::kYuy2;
    int width = 0;
    int height = 0;
  };
  // Called on PipeWire's thread: true with the chosen format when streaming starts, false when it stops.
  using StreamingHandler = std::function<void(bool streaming, const Format& format)>;

  PipeWireCamera();
  ~PipeWireCamera();
  PipeWireCamera(const PipeWireCamera&) = delete;
  PipeWireCamera& operator=(const PipeWireCamera&) = delete;

  // Connects to the user's PipeWire and creates the node, named `description` in applications.
  // The node offers every format at every size of the camera, each as a fixed format of its own:
  // browsers skip a camera whose formats leave the format or the size open.
  bool Start(const std::string& description, StreamingHandler handler, std::string& error);
  void Stop();

  // Hands one frame in the chosen format (GStreamer's default layout) to the consumer. Any thread.
  void PushFrame(const unsigned char* data, std::size_t size, std::uint64_t pts);

 private:
  static const pw_stream_events kStreamEvents;

  // On PipeWire's thread.
  void OnStateChanged(int state, const char* error);
  void OnParamChanged(std::uint32_t id, const spa_pod* param);
  void OnProcess();

  pw_thread_loop* loop_ = nullptr;
  pw_stream* stream_ = nullptr;
  StreamingHandler handler_;
  Format format_;
  std::int32_t stride_ = 0;  // of the chosen format's first plane
  bool streaming_ = false;

  std::mutex frameLock_;
  std::vector<unsigned char> frame_;
  std::uint64_t framePts_ = 0;
};

}  // namespace kalimo
