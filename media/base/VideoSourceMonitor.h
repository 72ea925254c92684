#pragma once
// The process's one GStreamer device monitor over video sources, for listing cameras and for
// watching them come and go. One, because a device monitor (GStreamer 1.22) installs itself as the
// sync handler of each device provider's bus: a second monitor, made and dropped for a listing,
// takes the providers' messages away from the first, which then hears no camera plugged in or out.
typedef struct _GstDeviceMonitor GstDeviceMonitor;

namespace kalimo::media {

// Made on first use, once GStreamer has started; kept for the life of the process.
GstDeviceMonitor* VideoSourceMonitor();

}  // namespace kalimo::media
