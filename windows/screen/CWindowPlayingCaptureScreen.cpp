#include "windows/screen/CWindowPlayingCaptureScreen.h"

#include <QMetaObject>
#include <QPainter>
#include <cstring>
#include <mutex>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "components/ScreenCaptureApi.h"
#include "library/settings/SettingParams.h"
#include "windows/base/CPictureControl.h"

namespace {

// The header and pixel bits of a packed 24-bit bitmap, checked; null bits when it is not one.
struct PackedFrame {
  PackedBitmapHeader header{};
  const unsigned char* bits = nullptr;
  int rowBytes = 0;
};

PackedFrame ReadPackedFrame(const void* packedBitmap) {
  PackedFrame frame;
  if (!packedBitmap) return frame;
  std::memcpy(&frame.header, packedBitmap, sizeof frame.header);
  const PackedBitmapHeader& header = frame.header;
  // Only what the component sends: uncompressed, 24 bits, bottom-up, a sane size.
  if (header.biSize < sizeof(PackedBitmapHeader) || header.biBitCount != 24 || header.biCompression != 0 ||
      header.biWidth < 1 || header.biHeight < 1 || header.biWidth > 65535 || header.biHeight > 65535 ||
      header.biClrUsed > 256)
    return frame;
  frame.rowBytes = static_cast<int>(kalimo::DibStride(header.biWidth));
  frame.bits = static_cast<const unsigned char*>(packedBitmap) + header.biSize + header.biClrUsed * 4;
  return frame;
}

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
  const PackedFrame frame = ReadPackedFrame(packedBitmap);
  if (!frame.bits) return false;
  const int width = frame.header.biWidth;
  const int height = frame.header.biHeight;
  const bool sent = static_cast<bool>(kalimo::WriteFrameToSection(
      frame.bits, kalimo::ProcessFrameSectionHandle(), frame.rowBytes * height, width, height));
  // Bottom-up rows read as top-down give the picture upside down; scale first, then flip the
  // small copy.
  const QImage wrapped(frame.bits, width, height, frame.rowBytes, QImage::Format_BGR888);
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
