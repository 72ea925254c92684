#pragma once
// One capture from start to finished notice, on the thread of the program's QApplication. On X11:
// the area overlay when asked, the Escape watch on the whole display, ximagesrc. On Wayland: the
// desktop's ScreenCast portal, whose dialog chooses what is shared, pipewiresrc on its stream, and
// the small stop window. Then the notice to the caller's object.
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "components/EscapeKeyWatch.h"
#include "components/ScreenCaptureApi.h"
#include "components/ScreenCastPortal.h"
#include "media/sources/ScreenCapturePipeline.h"

class AreaSelectionOverlay;
class CaptureStopWindow;

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
  void StartThroughPortal();
  // Starts the pipeline on `source`; a portal stream gets the stop window, the X display the Escape watch.
  void Begin(const kalimo::media::CaptureSource& source);
  // Stops the capture and posts the finished notice, once.
  void Finish();
  void Fail(const std::string& why);
  void CheckPipeline();

  ScreenFrameFunction frameCallback_;
  int regionMode_;
  int record_;
  QPointer<QObject> notifyWindow_;
  QPointer<AreaSelectionOverlay> overlay_;
  QPointer<CaptureStopWindow> stopWindow_;
  ScreenCastPortal portal_;
  kalimo::screencapture::EscapeKeyWatch escapeWatch_;
  kalimo::media::ScreenCapturePipeline pipeline_;
  QTimer busTimer_;
  bool finished_ = false;
};
