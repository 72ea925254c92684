#include "windows/screen/CWindowPlayingCaptureScreen.h"

#include <QMetaObject>
#include <QPainter>
#include <mutex>

#include "library/settings/SettingParams.h"
#include "media/sources/PackedBitmap.h"
#include "windows/base/CPictureControl.h"

namespace {

// Held while a frame is shown, so that the routed window cannot be destroyed under it.
std::mutex routeLock;
CWindowPlayingCaptureScreen* routedWindow = nullptr;

}  // namespace

void CWindowPlayingCaptureScreen::RouteCapturedFrames(CWindowPlayingCaptureScreen* window) {
  const std::lock_guard<std::mutex> guard(routeLock);
  routedWindow = window;
}

bool CWindowPlayingCaptureScreen::ShowOnRoutedWindow(const void* packedBitmap) {
  const std::lock_guard<std::mutex> guard(routeLock);
  if (!routedWindow) return false;
  routedWindow->ShowCapturedFrame(packedBitmap);
  return true;
}

CWindowPlayingCaptureScreen::~CWindowPlayingCaptureScreen() {
  const std::lock_guard<std::mutex> guard(routeLock);
  if (routedWindow == this) routedWindow = nullptr;
}

CWindowPlayingCaptureScreen::CWindowPlayingCaptureScreen(QWidget* owner) : CWindowPlayingResource(owner) {
  setWindowTitle(QStringLiteral("效果区"));
  pictureWidth = kDefaultFrameWidth;
  pictureHeight = kDefaultFrameHeight;
  picture_ = new CPictureControl;
  picture_->setAccessibleName(QStringLiteral("效果区"));
  picture_->SetPainter([this](QPainter& painter, const QRect& target) { PaintPicture(painter, target); });
  SetPictureControl(picture_);
}

void CWindowPlayingCaptureScreen::SetCapturing(bool capturing) {
  {
    QMutexLocker guard(&frameLock_);
    pictureSize_ = picture_->size();
  }
  capturing_ = capturing;
  picture_->update();
}

bool CWindowPlayingCaptureScreen::ShowCapturedFrame(const void* packedBitmap) {
  const kalimo::FrameView frame = kalimo::media::ReadPackedFrame(packedBitmap);
  if (!frame) return false;
  const bool sent = static_cast<bool>(kalimo::media::SendPackedFrame(packedBitmap));
  // Bottom-up rows read as top-down give the picture upside down; scale first, then flip the
  // small copy.
  const QImage wrapped(frame.bits, frame.width, frame.height, static_cast<qsizetype>(frame.stride),
                       QImage::Format_BGR888);
  QSize target;
  {
    QMutexLocker guard(&frameLock_);
    target = pictureSize_;
  }
  if (target.isEmpty()) target = QSize(kDefaultFrameWidth, kDefaultFrameHeight);
  QImage shown = wrapped.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation).mirrored(false, true);
  {
    QMutexLocker guard(&frameLock_);
    shownFrame_ = std::move(shown);
  }
  QMetaObject::invokeMethod(picture_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
  return sent;
}

QImage CWindowPlayingCaptureScreen::ShownFrame() const {
  QMutexLocker guard(&frameLock_);
  return shownFrame_;
}

void CWindowPlayingCaptureScreen::PaintPicture(QPainter& painter, const QRect& target) {
  if (!capturing_) {
    const QString intro = QString::fromStdString(kalimo::GetProgramFilePath(kIntroPicture));
    DrawPictureFile(picture_, painter, intro);
    return;
  }
  const QImage frame = ShownFrame();
  if (!frame.isNull()) painter.drawImage(target, frame);
}
