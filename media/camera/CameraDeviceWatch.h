#pragma once
// Follows cameras being plugged in and out: the device-added and device-removed messages of the
// process's video source monitor (VideoSourceMonitor), taken on whatever thread the device provider
// posts them (a bus sync handler), so that no GLib main loop has to run. The owner is told that the
// cameras changed and lists them again through CCaptureVideo::EnumCameras. The monitor runs while
// at least one watch exists.
#include <functional>

namespace kalimo::media {

class CameraDeviceWatch {
 public:
  // `changed` runs on a provider's thread, once per video source plugged in, unplugged or changed
  // after the watch started; it must only hand the news over to the owner's thread. It is never
  // called once the destructor has started.
  explicit CameraDeviceWatch(std::function<void()> changed);
  ~CameraDeviceWatch();
  CameraDeviceWatch(const CameraDeviceWatch&) = delete;
  CameraDeviceWatch& operator=(const CameraDeviceWatch&) = delete;

  // False when GStreamer could not start or no device provider could: the owner's list then stays
  // as it was made.
  bool IsWatching() const { return watching_; }

 private:
  friend struct WatchRegistry;
  std::function<void()> changed_;
  bool watching_ = false;
  bool counted_ = false;
};

}  // namespace kalimo::media
