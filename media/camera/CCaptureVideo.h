#pragma once
// One real camera: lists the cameras (leaving out the virtual camera itself), opens one at the
// size chosen from its formats, previews it and sends every frame through the camera's frame tap
// (CSampleGrabberCB) into the frame section and on to the photo and recording steps.
// Results are the codes of MediaResult.h; failures show the warning texts of the camera window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/base/BgrFrameSink.h"
#include "media/base/BusEventQueue.h"
#include "media/base/VideoWindow.h"
#include "media/camera/CameraFormats.h"

typedef struct _GstElement GstElement;
typedef struct _GstDevice GstDevice;

namespace kalimo::media {

class CCaptureVideo {
 public:
  using Event = PipelineEvent;
  static constexpr FrameSize kRequestedSize{640, 480};
  // How long a camera may take to deliver its first frame.
  static constexpr std::int64_t kStartTimeoutNs = 10'000'000'000;

  // `virtualCameraName` is the name the user gave the virtual camera (the settings' camera name):
  // the camera list leaves it out, as it does every device marked as the virtual camera's own.
  explicit CCaptureVideo(std::string virtualCameraName);
  ~CCaptureVideo();
  CCaptureVideo(const CCaptureVideo&) = delete;
  CCaptureVideo& operator=(const CCaptureVideo&) = delete;

  // Fills `names` with the cameras to offer and returns the number of devices with a name
  // (the virtual camera included), or -1 when there is no video source at all.
  int EnumCameras(std::vector<std::string>& names);
  // Opens camera `index` (a position in EnumCameras' list). kFalse, without a message, when no
  // camera is at that position. `previewWindow` may be null.
  int OpenCamera(int index, VideoWindow* previewWindow, FrameSize requestedSize = kRequestedSize);
  void CloseCamera();
  bool IsOpen() const { return graph_ != nullptr; }

  // The negotiated size of the last camera that opened.
  int FrameWidth() const { return frameWidth_; }
  int FrameHeight() const { return frameHeight_; }
  // The camera's stream ended (unplugged) or failed: the owner closes it; the frame section keeps
  // the last frame.
  bool TakeNextEvent(Event& event) { return events_.TakeNext(event); }
  bool ReadPreviewFrame(const BgrFrameReader& reader) const;
  std::uint64_t FramesDelivered() const { return sink_ ? sink_->FramesDelivered() : 0; }
  // Frames per second of the source; 0 when unknown.
  double FrameRate() const { return sink_ ? sink_->NegotiatedFrameRate() : 0; }

 private:
  int Start(GstDevice* device, VideoWindow* previewWindow, FrameSize requestedSize);

  std::string virtualCameraName_;
  bool ready_ = false;
  GstElement* graph_ = nullptr;
  std::unique_ptr<BgrFrameSink> sink_;
  BusEventQueue events_;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
};

}  // namespace kalimo::media
