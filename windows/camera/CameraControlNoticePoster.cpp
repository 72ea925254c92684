#include "windows/camera/CameraControlNoticePoster.h"

namespace kalimo {

// Queued even on the owner's own thread: the grabber callback must never run the control bar's
// handlers itself.
void CameraControlNoticePoster::PostSnapshotFinished() {
  QMetaObject::invokeMethod(this, [this] { emit snapshotFinished(); }, Qt::QueuedConnection);
}

void CameraControlNoticePoster::PostRecordedFrameFailed() {
  QMetaObject::invokeMethod(this, [this] { emit recordedFrameFailed(); }, Qt::QueuedConnection);
}

}  // namespace kalimo
