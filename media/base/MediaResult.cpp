#include "media/base/MediaResult.h"

#include <gst/gst.h>

namespace kalimo::media {

int ResultOfError(const GError* error) {
  if (!error) return kFail;
  if (error->domain == GST_RESOURCE_ERROR) {
    switch (error->code) {
      case GST_RESOURCE_ERROR_NOT_FOUND: return kFileNotFound;
      case GST_RESOURCE_ERROR_OPEN_READ:
      case GST_RESOURCE_ERROR_READ:
      case GST_RESOURCE_ERROR_NOT_AUTHORIZED: return kAccessDenied;
      case GST_RESOURCE_ERROR_NO_SPACE_LEFT: return kOutOfMemory;
      default: return kFail;
    }
  }
  if (error->domain == GST_STREAM_ERROR) return kUnsupportedStream;
  if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) return kUnsupportedStream;
  return kFail;
}

}  // namespace kalimo::media
