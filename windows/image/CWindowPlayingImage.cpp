#include "windows/image/CWindowPlayingImage.h"

#include <QImageReader>
#include <QPainter>

#include "common/ApplyDataToOstrel.h"
#include "common/BitmapHelpers.h"
#include "common/FrameSectionLayout.h"
#include "windows/base/CPictureControl.h"
#include "windows/base/ControlBarLook.h"
#include "windows/image/CPlayImageControlDlg.h"
#include "windows/image/PictureFileReading.h"

CWindowPlayingImage::CWindowPlayingImage(QWidget* owner)
    : CWindowPlayingResource(owner), picture_(new CPictureControl), bar_(new CPlayImageControlDlg(kFirstSecondsPerImage)) {
  setWindowTitle(QStringLiteral("效果区"));
  picture_->setObjectName(QStringLiteral("1058"));
  picture_->setAccessibleName(QStringLiteral("效果区"));
  picture_->SetPainter([this](QPainter& painter, const QRect& target) { PaintPicture(painter, target); });
  PrepareControlBar(*bar_);
  SetPictureControl(picture_);
  SetControlBar(bar_);

  connect(bar_, &CPlayImageControlDlg::PauseRequested, this, [this] { SetPaused(true); });
  connect(bar_, &CPlayImageControlDlg::ResumeRequested, this, [this] { SetPaused(false); });
  connect(&timer_, &QTimer::timeout, this, &CWindowPlayingImage::OnTimerTick);
  timer_.start(kTimerMs);
  resize(420, 480);
}

void CWindowPlayingImage::SetImageSource(ImageAt imageAt) {
  imageAt_ = std::move(imageAt);
  currentStale_ = true;
  picture_->update();
}

void CWindowPlayingImage::SetPaused(bool paused) {
  slideshow_.SetPaused(paused);
  bar_->SetPaused(paused);
}

void CWindowPlayingImage::OnTimerTick() {
  // The edit is read as it stands at every tick: a new entry counts from the next one.
  if (!slideshow_.Tick(bar_->SecondsPerImage())) return;
  currentStale_ = true;
  picture_->update();
}

void CWindowPlayingImage::showEvent(QShowEvent* event) {
  // The camera kept the image last painted while the window was hidden; the current one goes now.
  currentSent_ = false;
  CWindowPlayingResource::showEvent(event);
}

namespace {
// A picture the camera cannot take is only shown, so it is read at most at a size a screen shows.
constexpr QSize kLargestShownSize{2560, 2560};

// Reads the slide; `sendable` tells whether its rows fit in the frame section at full size.
QImage ReadSlide(const QString& path, bool& sendable) {
  QImageReader reader(path);
  const QSize stored = reader.size();
  sendable = !stored.isValid() || kalimo::DibStride(stored.width()) * stored.height() <= kalimo::kMaxFrameBytes;
  const QSize bound = sendable ? QSize(kalimo::kMaxHeaderDimension, kalimo::kMaxHeaderDimension) : kLargestShownSize;
  return ReadPictureFitting(reader, bound);
}
}  // namespace

void CWindowPlayingImage::PaintPicture(QPainter& painter, const QRect& target) {
  const QString path = imageAt_ ? QString::fromStdString(imageAt_(slideshow_.ImageIndex())) : QString();
  if (currentStale_ || path != currentPath_) {
    currentPath_ = path;
    currentStale_ = false;
    currentSent_ = false;
    currentImage_ = QImage();
    if (!path.isEmpty()) {
      bool sendable = true;
      currentImage_ = ReadSlide(path, sendable);
      // Too large for the section: shown, and the camera keeps the previous picture.
      currentSent_ = !sendable;
      ++decodeCount_;
    }
  }
  // An empty list or a file that cannot be decoded shows nothing and leaves the camera as it was.
  if (currentImage_.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(PictureFileRect(target), currentImage_);
  if (!currentSent_) {
    // A picture too large for the section is refused there; it is not tried again at every repaint.
    kalimo::SendImageToSection(currentImage_, kalimo::ProcessFrameSectionHandle());
    currentSent_ = true;
  }
}
