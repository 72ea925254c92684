#include "windows/camera/CWindowPlayingCamera.h"

#include <QCloseEvent>
#include <QMetaObject>

#include "media/base/MediaResult.h"
#include "media/camera/CSampleGrabberCB.h"
#include "recording/Snapshot.h"
#include "windows/base/CPictureControl.h"
#include "windows/base/ControlBarLook.h"
#include "windows/base/VideoPreviewPainter.h"
#include "windows/camera/CPlayCameraControlDlg.h"

using kalimo::media::CCaptureVideo;
using kalimo::media::CSampleGrabberCB;

CWindowPlayingCamera::CWindowPlayingCamera(const std::string& virtualCameraName, QWidget* owner)
    : CWindowPlayingResource(owner),
      capture_(std::make_unique<CCaptureVideo>(virtualCameraName)),
      picture_(new CPictureControl),
      bar_(new CPlayCameraControlDlg),
      status_(new QLabel(ClientArea())) {
  setWindowTitle(QStringLiteral("预览真实摄像头"));
  picture_->setObjectName(QStringLiteral("1027"));
  picture_->setAccessibleName(QStringLiteral("预览真实摄像头"));
  picture_->SetPainter([this](QPainter& painter, const QRect& target) {
    kalimo::media::RepaintVideo(*capture_, painter, target);
  });
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  status_->move(8, 4);
  PrepareControlBar(*bar_);
  SetPictureControl(picture_);
  SetControlBar(bar_);

  // The photo and recording steps run on the streaming thread with the bar's flags.
  kalimo::CameraControlState* state = &bar_->ControlState();
  CSampleGrabberCB::Preview().SetFrameStep(
      [state](const kalimo::FrameView& frame) { kalimo::OnCameraFrame(*state, frame); });
  resize(420, 480);
}

CWindowPlayingCamera::~CWindowPlayingCamera() {
  bar_->FinishRecording();
  // No frame may reach the bar's flags once the bar is gone: the step goes before the camera.
  CSampleGrabberCB::Preview().SetFrameStep({});
  capture_->CloseCamera();
}

std::vector<std::string> CWindowPlayingCamera::CameraNames() {
  std::vector<std::string> names;
  capture_->EnumCameras(names);
  return names;
}

bool CWindowPlayingCamera::OpenCamera(int deviceIndex) {
  if (deviceIndex < 0) {
    bar_->SetCameraOpen(false);
    return false;
  }
  SetStatus({});
  capture_->CloseCamera();
  const int result = capture_->OpenCamera(deviceIndex, this);
  if (kalimo::media::Failed(result)) {
    capture_->CloseCamera();
    picture_->update();
    bar_->SetCameraOpen(false);
    return false;
  }
  // A position without a camera counts as opened, keeping the size of the last camera that opened.
  if (capture_->FrameWidth() > 0 && capture_->FrameHeight() > 0) {
    pictureWidth = capture_->FrameWidth();
    pictureHeight = capture_->FrameHeight();
  }
  kalimo::SetLargestCameraFrameSize(CSampleGrabberCB::Preview().LargestSize());
  bar_->SetCameraOpen(true);
  FitPicture();
  return true;
}

void CWindowPlayingCamera::PreviewFrameArrived() {
  QMetaObject::invokeMethod(picture_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void CWindowPlayingCamera::GraphEventsWaiting() {
  QMetaObject::invokeMethod(this, &CWindowPlayingCamera::TakeGraphEvents, Qt::QueuedConnection);
}

void CWindowPlayingCamera::TakeGraphEvents() {
  CCaptureVideo::Event event;
  bool lost = false;
  while (capture_->TakeNextEvent(event)) lost = true;  // an end of stream or an error: the camera is gone
  if (!lost) return;
  // A recording cannot go on without frames; the movie is kept as far as it got.
  bar_->FinishRecording();
  capture_->CloseCamera();
  bar_->SetCameraOpen(false);
  SetStatus(QString::fromUtf8(kCameraLostText));
}

void CWindowPlayingCamera::SetStatus(const QString& text) {
  status_->setText(text);
  status_->adjustSize();
  status_->setVisible(!text.isEmpty());
  status_->raise();
}

void CWindowPlayingCamera::closeEvent(QCloseEvent* event) {
  // Closing only hides the window; the camera keeps feeding the virtual camera.
  if (!bar_->MayClose()) {
    event->ignore();
    return;
  }
  CWindowPlayingResource::closeEvent(event);
}
