#pragma once
// The full-screen overlay on which the user drags the area to capture: the screen as it was,
// dimmed, with the dragged rectangle shown at full brightness. Escape cancels.
#include <QPixmap>
#include <algorithm>
#include <cstdlib>

#include <QPoint>
#include <QRect>
#include <QWidget>

class AreaSelectionOverlay : public QWidget {
  Q_OBJECT

 public:
  AreaSelectionOverlay();

  // Covers the primary screen and takes mouse and keyboard.
  void Open();
  // The dragged rectangle in screen pixels (empty before a drag).
  QRect Selection() const {
    return QRect(QPoint(std::min(anchor_.x(), current_.x()), std::min(anchor_.y(), current_.y())),
                 QSize(std::abs(current_.x() - anchor_.x()), std::abs(current_.y() - anchor_.y())));
  }

 signals:
  void AreaSelected(QRect area);
  void Cancelled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Finish(bool selected);

  QPixmap screen_;
  QPoint anchor_;
  QPoint current_;
  bool dragging_ = false;
  bool finished_ = false;
};
