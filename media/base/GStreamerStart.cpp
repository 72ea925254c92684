#include "media/base/GStreamerStart.h"

#include <gst/gst.h>

#include "common/Logging.h"
#include "common/Messages.h"

namespace kalimo::media {

bool StartGStreamer() {
  GError* error = nullptr;
  const bool ready = gst_init_check(nullptr, nullptr, &error);
  if (!ready) {
    KALIMO_LOG_ERROR("GStreamer: %s", error ? error->message : "?");
    ShowWarning("CoInitialize Failed!\r\n");
  }
  g_clear_error(&error);
  return ready;
}

}  // namespace kalimo::media
