#include "media/camera/CameraDeviceWatch.h"

#include <gst/gst.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "common/Logging.h"
#include "media/base/GStreamerStart.h"
#include "media/base/VideoSourceMonitor.h"

namespace kalimo::media {

// The watches of the process and the monitor's run, shared by all of them.
struct WatchRegistry {
  // Over `watches`; a message is handed to the watches under it, so that a watch that has left
  // the list is never called again.
  std::mutex lock;
  std::vector<CameraDeviceWatch*> watches;
  // Over starting and stopping the monitor. Never held while `lock` is: stopping waits for the
  // providers' threads, which may be waiting for `lock` in the bus handler.
  std::mutex runLock;
  int running = 0;
  bool started = false;
  bool handlerSet = false;

  static WatchRegistry& Get() {
    static WatchRegistry registry;
    return registry;
  }

  static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer) {
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED ||
        type == GST_MESSAGE_DEVICE_CHANGED) {
      WatchRegistry& registry = Get();
      std::lock_guard guard(registry.lock);
      for (CameraDeviceWatch* watch : registry.watches) watch->changed_();
    }
    return GST_BUS_DROP;  // nothing stays on the bus: nobody pops it
  }

  // True when the monitor runs.
  bool Join() {
    std::lock_guard guard(runLock);
    GstDeviceMonitor* monitor = VideoSourceMonitor();
    if (!handlerSet) {
      GstBus* bus = gst_device_monitor_get_bus(monitor);
      gst_bus_set_sync_handler(bus, &WatchRegistry::OnBusMessage, nullptr, nullptr);
      gst_object_unref(bus);
      handlerSet = true;
    }
    // The devices announced while the monitor starts are no news: no watch is listed yet.
    if (running++ == 0) started = gst_device_monitor_start(monitor);
    return started;
  }

  void Leave() {
    std::lock_guard guard(runLock);
    if (--running == 0 && started) {
      gst_device_monitor_stop(VideoSourceMonitor());
      started = false;
    }
  }
};

CameraDeviceWatch::CameraDeviceWatch(std::function<void()> changed) : changed_(std::move(changed)) {
  if (!StartGStreamer()) return;
  WatchRegistry& registry = WatchRegistry::Get();
  watching_ = registry.Join();
  counted_ = true;
  if (!watching_) KALIMO_LOG_INFO("camera list: no device provider reports cameras plugged in or out");
  std::lock_guard guard(registry.lock);
  registry.watches.push_back(this);
}

CameraDeviceWatch::~CameraDeviceWatch() {
  if (!counted_) return;
  WatchRegistry& registry = WatchRegistry::Get();
  {
    std::lock_guard guard(registry.lock);
    std::erase(registry.watches, this);
  }
  registry.Leave();
}

}  // namespace kalimo::media
