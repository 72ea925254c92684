#pragma once
// The picture control of a playing window: a black area whose painting its window supplies (the
// latest frame of the window's source, or a picture file). It keeps no frames of its own, so a
// frame never passes through it on its way to the frame section.
#include <QWidget>
#include <functional>

class CPictureControl : public QWidget {
  Q_OBJECT

 public:
  using Painter = std::function<void(QPainter& painter, const QRect& target)>;

  explicit CPictureControl(QWidget* parent = nullptr);
  // Called on every repaint after the black background is filled; may draw nothing.
  void SetPainter(Painter painter) { painter_ = std::move(painter); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Painter painter_;
};
