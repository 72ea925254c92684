#pragma once
// The screen window: the playing window of the screen source. While idle it shows the intro
// picture; while a capture runs it shows each captured frame, stretched into its picture frame,
// and sends the frame to the virtual camera.
#include <QImage>
#include <QMutex>

#include "windows/base/CWindowPlayingResource.h"

class CPictureControl;

class CWindowPlayingCaptureScreen : public CWindowPlayingResource {
  Q_OBJECT

 public:
  static constexpr int kDefaultFrameWidth = 640;
  static constexpr int kDefaultFrameHeight = 480;
  // Relative to the program folder.
  static constexpr const char* kIntroPicture = "Image/capturescreenintro.jpg";

  explicit CWindowPlayingCaptureScreen(QWidget* owner);
  // Stops the frames routed here first, waiting for one being shown: the main dialog deletes the
  // playing window before the panel whose capture may still be running.
  ~CWindowPlayingCaptureScreen() override;

  // The window that a running capture's frames go to (null: none), set by the panel for the time
  // of a capture. ShowOnRoutedWindow may run on a capture thread; false when no window took the frame.
  static void RouteCapturedFrames(CWindowPlayingCaptureScreen* window);
  static bool ShowOnRoutedWindow(const void* packedBitmap);

  // Takes a packed bitmap (header, colour table, bits). Safe on a capture thread: it writes the
  // frame into the frame section and keeps a copy at the picture's size for the next repaint.
  // A null or malformed frame does nothing; false when nothing was sent.
  bool ShowCapturedFrame(const void* packedBitmap);

  void SetCapturing(bool capturing);
  bool IsCapturing() const { return capturing_; }
  // The last frame as drawn (for tests); null before the first.
  QImage ShownFrame() const;

 private:
  void PaintPicture(QPainter& painter, const QRect& target);

  CPictureControl* picture_ = nullptr;
  bool capturing_ = false;
  mutable QMutex frameLock_;
  QImage shownFrame_;
  QSize pictureSize_;  // the picture control's size, for scaling on the capture thread
};
