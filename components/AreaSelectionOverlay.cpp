#include "components/AreaSelectionOverlay.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {
// A drag shorter than this in either direction selects nothing: it was a click.
constexpr int kSmallestSide = 8;
}  // namespace

AreaSelectionOverlay::AreaSelectionOverlay()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint) {
  setCursor(Qt::CrossCursor);
  setAccessibleName(QStringLiteral("选择区域"));
}

void AreaSelectionOverlay::Open() {
  QScreen* screen = QGuiApplication::primaryScreen();
  screen_ = screen->grabWindow(0);
  setGeometry(screen->geometry());
  show();
  raise();
  activateWindow();
  grabMouse();
  grabKeyboard();
}

void AreaSelectionOverlay::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), screen_);
  painter.fillRect(rect(), QColor(0, 0, 0, 120));
  const QRect area = Selection();
  if (dragging_ && !area.isEmpty()) {
    painter.drawPixmap(area, screen_, area);
    painter.setPen(QPen(QColor(255, 64, 64), 2));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setPen(Qt::white);
    painter.drawText(area.topLeft() + QPoint(4, -6), QStringLiteral("%1 × %2").arg(area.width()).arg(area.height()));
  }
  painter.setPen(Qt::white);
  painter.drawText(rect().adjusted(0, 40, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("按住鼠标左键拖出要捕获的区域，按ESC取消"));
}

void AreaSelectionOverlay::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  anchor_ = current_ = event->position().toPoint();
  dragging_ = true;
  update();
}

void AreaSelectionOverlay::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  current_ = event->position().toPoint();
  update();
}

void AreaSelectionOverlay::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  current_ = event->position().toPoint();
  dragging_ = false;
  const QRect area = Selection();
  if (area.width() < kSmallestSide || area.height() < kSmallestSide) {
    update();  // a click: wait for a real drag
    return;
  }
  Finish(true);
}

void AreaSelectionOverlay::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) Finish(false);
}

void AreaSelectionOverlay::Finish(bool selected) {
  if (finished_) return;
  finished_ = true;
  const QRect area = Selection().translated(geometry().topLeft());
  releaseKeyboard();
  releaseMouse();
  hide();
  if (selected)
    emit AreaSelected(area);
  else
    emit Cancelled();
}
