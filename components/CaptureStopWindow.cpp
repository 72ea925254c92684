#include "components/CaptureStopWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CaptureStopWindow::CaptureStopWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint),
      stopButton_(new QPushButton(QStringLiteral("停止捕获"))) {
  setWindowTitle(QStringLiteral("屏幕捕获"));
  setAccessibleName(windowTitle());
  auto* hint = new QLabel(QStringLiteral("正在捕获屏幕，按ESC或点击“停止捕获”结束"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(stopButton_, 0, Qt::AlignHCenter);
  stopButton_->setDefault(true);
  connect(stopButton_, &QPushButton::clicked, this, &CaptureStopWindow::RequestStop);
}

void CaptureStopWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
  RequestStop();
}

void CaptureStopWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  RequestStop();
}

void CaptureStopWindow::RequestStop() {
  if (requested_) return;
  requested_ = true;
  emit StopRequested();
}
