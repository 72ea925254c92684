#pragma once
// The camera tab's playing window ("预览真实摄像头"): previews the real camera chosen in the camera
// list (picture control 1027, in the shape of the camera's picture) through the camera capture,
// whose streaming thread writes every frame into the frame section and hands it to the photo and
// recording steps of the control bar. The window itself only paints the latest frame.
//
// Notices from the streaming thread (a new frame, the camera's stream ended or failed) arrive as
// queued calls. A camera unplugged while open is closed; the window says so in its status line
// and the virtual camera keeps the last picture.
#include <QLabel>
#include <memory>
#include <string>

#include "media/base/VideoWindow.h"
#include "media/camera/CCaptureVideo.h"
#include "windows/base/CWindowPlayingResource.h"

class CPictureControl;
class CPlayCameraControlDlg;

class CWindowPlayingCamera : public CWindowPlayingResource, public kalimo::media::VideoWindow {
  Q_OBJECT

 public:
  // `virtualCameraName`: the settings' camera name, which the camera list leaves out.
  explicit CWindowPlayingCamera(const std::string& virtualCameraName, QWidget* owner = nullptr);
  // Finishes a running recording without a question, then stops the camera.
  ~CWindowPlayingCamera() override;

  // Closes the running camera and opens the one at `deviceIndex` of the camera list. False for a
  // negative index or a camera that cannot be opened (the capture says why); the picture then
  // takes the camera's size.
  bool OpenCamera(int deviceIndex);
  // The cameras to offer, in list order (the virtual camera left out).
  std::vector<std::string> CameraNames();

  CPlayCameraControlDlg* Bar() const { return bar_; }
  CPictureControl* Picture() const { return picture_; }
  kalimo::media::CCaptureVideo& Capture() { return *capture_; }
  // The status line: empty while all is well, else what happened to the camera.
  QString StatusText() const { return status_->text(); }

  static constexpr const char* kCameraLostText = "摄像头已断开，虚拟摄像头保留最后的画面";

  // VideoWindow: called on the streaming thread; both only post to this window's thread.
  void PreviewFrameArrived() override;
  void GraphEventsWaiting() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void TakeGraphEvents();
  void SetStatus(const QString& text);

  std::unique_ptr<kalimo::media::CCaptureVideo> capture_;
  CPictureControl* picture_;
  CPlayCameraControlDlg* bar_;
  QLabel* status_;
};
