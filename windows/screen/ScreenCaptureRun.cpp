#include "windows/screen/ScreenCaptureRun.h"

#include <QEvent>

bool ScreenCaptureRun::Begin(ScreenFrameFunction frameCallback, int regionMode, int record,
                             const std::function<void()>& beforeStart) {
  if (module_.IsLoaded() || !module_.Load()) return false;
  if (beforeStart) beforeStart();
  module_.Start(frameCallback, regionMode, record, this);
  return true;
}

bool ScreenCaptureRun::event(QEvent* event) {
  if (event->type() != static_cast<QEvent::Type>(kScreenCaptureFinishedEvent)) return QObject::event(event);
  module_.Free();
  emit Finished();
  return true;
}
