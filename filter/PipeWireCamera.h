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

namespace kalimo {

class PipeWireCamera {
 public:
  // The format a consumer chose: a GStreamer format name ("YUY2", "I420", "NV12") and a size.
  struct Format {
    std::string name;
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
  bool Start(const std::string& description, StreamingHandler handler, std::string& error);
  void Stop();

  // Hands one frame in the chosen format (GStreamer's default layout) to the consumer. Any thread.
  void PushFrame(const unsigned char* data, std::size_t size, std::uint64_t pts);

 private:
  static void OnStateChanged(void* self, int oldState, int state, const char* error);
  static void OnParamChanged(void* self, std::uint32_t id, const void* param);
  static void OnProcess(void* self);

  pw_thread_loop* loop_ = nullptr;
  pw_stream* stream_ = nullptr;
  void* listener_ = nullptr;  // the stream's spa_hook
  StreamingHandler handler_;
  Format format_;
  bool streaming_ = false;

  std::mutex frameLock_;
  std::vector<unsigned char> frame_;
  std::uint64_t framePts_ = 0;
};

}  // namespace kalimo
