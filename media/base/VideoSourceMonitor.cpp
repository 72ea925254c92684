#include "media/base/VideoSourceMonitor.h"

#include <gst/gst.h>

namespace kalimo::media {

GstDeviceMonitor* VideoSourceMonitor() {
  static GstDeviceMonitor* const monitor = [] {
    GstDeviceMonitor* made = gst_device_monitor_new();
    gst_device_monitor_add_filter(made, "Video/Source", nullptr);
    return made;
  }();
  return monitor;
}

}  // namespace kalimo::media
