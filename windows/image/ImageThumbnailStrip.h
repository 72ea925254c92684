#pragma once
// The image list panel's strip of thumbnails: each picture stretched to the strip's width and 100
// pixels high, one every 110 pixels from the top, scrolled by the panel. The selected picture sits
// 2 pixels inside a band of the selection colour. The strip reports clicks, double clicks and wheel
// turns; the panel decides what they do.
#include <QColor>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "windows/image/ImageThumbnailCache.h"

namespace kalimo {
class ImageList;
}

class ImageThumbnailStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kThumbnailHeight = 100;
  static constexpr int kPitch = 110;
  static constexpr int kTopMargin = 10;
  static constexpr QColor kSelectionColour{129, 138, 254};

  // `images` must outlive the strip.
  ImageThumbnailStrip(const kalimo::ImageList& images, QWidget* parent);

  void SetScrollPosition(int position);
  int ScrollPosition() const { return scrollPosition_; }
  int FirstVisibleIndex() const { return scrollPosition_ / kPitch; }

  struct Band {
    std::int32_t index;
    QRect rect;
  };
  // The thumbnails drawn at the current scroll position, top to bottom.
  std::vector<Band> VisibleBands() const;
  // The image under a point of the strip, or -1.
  std::int32_t IndexAt(const QPoint& point) const;

  ImageThumbnailCache& Thumbnails() { return thumbnails_; }

 signals:
  void Clicked(std::int32_t index);
  void DoubleClicked(std::int32_t index);
  // +1 for a turn towards the user (down the list), -1 away from the user.
  void WheelTurned(int lines);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  const kalimo::ImageList& images_;
  ImageThumbnailCache thumbnails_;
  int scrollPosition_ = 0;
};
