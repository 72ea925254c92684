#pragma once
// One capture through the outside component: loads it, starts it, and on the component's finished
// notice (which this object receives) releases and unloads it and emits Finished.
#include <QObject>
#include <functional>

#include "windows/screen/ScreenCaptureModule.h"

class ScreenCaptureRun : public QObject {
  Q_OBJECT

 public:
  explicit ScreenCaptureRun(QObject* parent = nullptr) : QObject(parent) {}
  ~ScreenCaptureRun() override { module_.Free(); }

  // Loads the component; when it or its entry point is missing returns false and changes nothing.
  // Otherwise runs `beforeStart` (hiding windows) and starts the capture.
  bool Begin(ScreenFrameFunction frameCallback, int regionMode, int record, const std::function<void()>& beforeStart);
  bool IsRunning() const { return module_.IsLoaded(); }

 signals:
  // The component has been released and unloaded.
  void Finished();

 protected:
  bool event(QEvent* event) override;

 private:
  kalimo::ScreenCaptureModule module_;
};
