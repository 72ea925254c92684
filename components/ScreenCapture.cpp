// The screen-capture component's entry points (see ScreenCaptureApi.h). One capture at a time.
#include <QCoreApplication>
#include <memory>

#include "common/Logging.h"
#include "components/ScreenCaptureApi.h"
#include "components/ScreenCaptureController.h"

#define KALIMO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::unique_ptr<ScreenCaptureController> activeCapture;
}  // namespace

KALIMO_EXPORT int ScreenCapture(ScreenFrameFunction frameCallback, int regionMode, int record, void* notifyWindow) {
  if (!QCoreApplication::instance()) {
    KALIMO_LOG_ERROR("screen capture: the calling program has no QApplication");
    return 0;
  }
  activeCapture = std::make_unique<ScreenCaptureController>(frameCallback, regionMode, record,
                                                           static_cast<QObject*>(notifyWindow));
  activeCapture->Start();
  return 0;
}

KALIMO_EXPORT void FreeScreenCapture() { activeCapture.reset(); }
