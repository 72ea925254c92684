#include "windows/base/CPictureControl.h"

#include <QPainter>

CPictureControl::CPictureControl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPictureControl::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (painter_) painter_(painter, rect());
}
