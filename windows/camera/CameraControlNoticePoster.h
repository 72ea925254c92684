#pragma once
// CameraControlNotices for a Qt control bar: the grabber thread's notices become signals emitted
// on the thread that owns this object (the user-interface thread), never on the grabber thread.
#include <QObject>

#include "recording/Recorder.h"

namespace kalimo {

class CameraControlNoticePoster : public QObject, public CameraControlNotices {
  Q_OBJECT

 public:
  explicit CameraControlNoticePoster(QObject* parent = nullptr) : QObject(parent) {}

  void PostSnapshotFinished() override;
  void PostRecordedFrameFailed() override;

 signals:
  void snapshotFinished();     // message 1025
  void recordedFrameFailed();  // message 1027
};

}  // namespace kalimo
