#include "windows/image/ImageThumbnailStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "library/ImageList.h"

ImageThumbnailStrip::ImageThumbnailStrip(const kalimo::ImageList& images, QWidget* parent)
    : QWidget(parent), images_(images) {
  setObjectName(QStringLiteral("thumbnails"));
  setAccessibleName(QStringLiteral("图片列表"));
  setFocusPolicy(Qt::ClickFocus);
}

void ImageThumbnailStrip::SetScrollPosition(int position) {
  if (position == scrollPosition_) return;
  scrollPosition_ = position;
  update();
}

std::vector<ImageThumbnailStrip::Band> ImageThumbnailStrip::VisibleBands() const {
  std::vector<Band> bands;
  const std::vector<std::string>& paths = images_.Paths();
  int y = kTopMargin - scrollPosition_ % kPitch;
  for (int k = 0; k <= height() / kPitch; ++k) {
    const std::size_t index = static_cast<std::size_t>(FirstVisibleIndex()) + static_cast<std::size_t>(k);
    // A line that is no picture takes no band (only a hand-edited list holds one).
    if (index >= paths.size() || !kalimo::ImageList::IsImageFile(paths[index])) continue;
    bands.push_back({static_cast<std::int32_t>(index), QRect(0, y, width(), kThumbnailHeight)});
    y += kPitch;
  }
  return bands;
}

std::int32_t ImageThumbnailStrip::IndexAt(const QPoint& point) const {
  for (const Band& band : VisibleBands()) {
    if (band.rect.contains(point)) return band.index;
  }
  return kalimo::ImageList::kNoSelection;
}

void ImageThumbnailStrip::paintEvent(QPaintEvent*) {
  // Painted off screen first, so a scroll never shows the strip half drawn.
  QImage buffer(size(), QImage::Format_RGB32);
  buffer.fill(palette().window().color());
  {
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Band& band : VisibleBands()) {
      QRect pictureRect = band.rect;
      if (band.index == images_.SelectedIndex()) {
        painter.fillRect(band.rect, kSelectionColour);
        pictureRect = band.rect.adjusted(2, 2, -2, -2);
      }
      const std::string& path = images_.Paths()[static_cast<std::size_t>(band.index)];
      const QImage& thumbnail = thumbnails_.Thumbnail(QString::fromStdString(path));
      if (!thumbnail.isNull()) painter.drawImage(pictureRect, thumbnail);
    }
  }
  QPainter(this).drawImage(0, 0, buffer);
}

void ImageThumbnailStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  emit Clicked(IndexAt(event->position().toPoint()));
}

void ImageThumbnailStrip::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const std::int32_t index = IndexAt(event->position().toPoint());
  if (index != kalimo::ImageList::kNoSelection) emit DoubleClicked(index);
}

void ImageThumbnailStrip::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta != 0) emit WheelTurned(delta < 0 ? 1 : -1);
  event->accept();
}
