#include "windows/image/CWindowPlayingImage.h"

#include <QPainter>

#include "windows/base/CPictureControl.h"
#include "windows/base/ControlBarLook.h"
#include "windows/image/CPlayImageControlDlg.h"

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

void CWindowPlayingImage::PaintPicture(QPainter& painter, const QRect& target) {
  const QString path = imageAt_ ? QString::fromStdString(imageAt_(slideshow_.ImageIndex())) : QString();
  if (currentStale_ || path != currentPath_) {
    currentPath_ = path;
    currentStale_ = false;
    current_.reset();
    if (!path.isEmpty()) {
      current_ = std::make_unique<kalimo::media::ImageSource>(path.toStdString());
      std::string unreadable;
      current_->Load(unreadable);
      // Too large for the section: shown, and the camera keeps the previous picture.
      currentSent_ = !current_->Sendable();
      ++decodeCount_;
    }
  }
  // An empty list or a file that cannot be decoded shows nothing and leaves the camera as it was.
  if (!current_ || current_->Picture().isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(PictureFileRect(target), current_->Picture());
  if (!currentSent_) {
    // A picture the section refuses is not tried again at every repaint.
    current_->Send();
    currentSent_ = true;
  }
}
