#pragma once
// One capture from start to finished notice, on the thread of the program's QApplication: the area
// overlay when asked, the Escape watch, the pipeline, and the notice to the caller's object.
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "components/EscapeKeyWatch.h"
#include "components/ScreenCaptureApi.h"
#include "components/ScreenCapturePipeline.h"

class AreaSelectionOverlay;

class ScreenCaptureController : public QObject {
  Q_OBJECT

 public:
  static constexpr int kBusPollMilliseconds = 200;
  // Time for the windows the caller hid to leave the screen before the overlay takes its picture.
  static constexpr int kHiddenWindowsSettleMilliseconds = 300;

  ScreenCaptureController(ScreenFrameFunction frameCallback, int regionMode, int record, QObject* notifyWindow);
  ~ScreenCaptureController() override;

  // Starts the capture, or, when it cannot run, logs why and sends the finished notice.
  void Start();
  // Stops everything without a notice (the library is about to be unloaded).
  void Abandon();

 private:
  void Begin(const kalimo::screencapture::ScreenArea& area);
  // Stops the capture and posts the finished notice, once.
  void Finish();
  void Fail(const std::string& why);
  void CheckPipeline();

  ScreenFrameFunction frameCallback_;
  int regionMode_;
  int record_;
  QPointer<QObject> notifyWindow_;
  QPointer<AreaSelectionOverlay> overlay_;
  kalimo::screencapture::EscapeKeyWatch escapeWatch_;
  kalimo::screencapture::ScreenCapturePipeline pipeline_;
  QTimer busTimer_;
  bool finished_ = false;
};
