#include "windows/base/CWindowPlayingResource.h"

#include <QEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>


QRect FitPictureRect(int freeWidth, int freeHeight, int top, int pictureWidth, int pictureHeight) {
  if (freeWidth <= 0 || freeHeight <= 0) return QRect(0, top, 0, 0);
  const double ratio = (pictureWidth > 0 && pictureHeight > 0)
                           ? static_cast<double>(pictureHeight) / pictureWidth
                           : 3.0 / 4.0;
  int width = freeWidth;
  int height = freeHeight;
  if (static_cast<double>(freeHeight) / freeWidth > ratio) {
    height = static_cast<int>(ratio * freeWidth);  // truncated toward zero
  } else {
    width = static_cast<int>(freeHeight / ratio);
  }
  return QRect((freeWidth - width) / 2, (freeHeight - height) / 2 + top, width, height);
}

QRect PictureFileRect(const QRect& pictureControlRect) { return pictureControlRect.adjusted(0, 5, 0, -2); }

CWindowPlayingResource::CWindowPlayingResource(QWidget* owner)
    : CColorTitleDlg(owner, false, kalimo::skin::kMinimizeBox | kalimo::skin::kMaximizeBox) {
  ClientArea()->installEventFilter(this);
}

CWindowPlayingResource::~CWindowPlayingResource() {
  ClientArea()->removeEventFilter(this);
  delete controlBar_;
}

// The control bar is a child of the window, so it hides with it; hiding it on its own as well
// would keep it hidden when the window is shown again by anything but this call (the main window's
// toggle button, the tray icon).
void CWindowPlayingResource::ShowPlayingWindow(bool show) {
  setVisible(show);
  if (show && controlBar_) controlBar_->show();
}

void CWindowPlayingResource::PlaceControlBar(int width, int height) {
  if (!controlBar_) return;
  // A bar whose height depends on its width (a long status message) says how tall it wants to be.
  const int barHeight = controlBar_->hasHeightForWidth() ? controlBar_->heightForWidth(width) : controlBar_->height();
  controlBar_->setGeometry(0, height - barHeight, width, barHeight);
}

void CWindowPlayingResource::FitPicture() {
  QWidget* picture = GetPictureControl();
  if (!picture) return;
  const QSize client = ClientArea()->size();
  const int top = GetTopMargin();
  const int freeHeight = client.height() - top - GetControlBarHeight();
  picture->setGeometry(FitPictureRect(client.width(), freeHeight, top, pictureWidth, pictureHeight));
  picture->update();
}

int CWindowPlayingResource::GetControlBarHeight() const { return controlBar_ ? controlBar_->height() : 0; }

bool CWindowPlayingResource::DrawPictureFile(QWidget* paintedWidget, QPainter& painter, const QString& path) const {
  QWidget* picture = GetPictureControl();
  if (path.isEmpty() || !picture || !paintedWidget) return false;
  // Decoded on every call: the file may have been replaced since the last repaint.
  QImageReader reader(path);
  const QImage image = reader.read();
  if (image.isNull()) return false;
  const QRect control(picture->mapTo(window(), QPoint(0, 0)), picture->size());
  const QRect target = PictureFileRect(control.translated(-paintedWidget->mapTo(window(), QPoint(0, 0))));
  painter.drawImage(target, image);
  return true;
}

void CWindowPlayingResource::SetControlBar(QWidget* bar) {
  delete controlBar_;
  controlBar_ = bar;
  if (bar) bar->setParent(ClientArea());
  LayOutClient();
}

void CWindowPlayingResource::SetPictureControl(QWidget* pictureControl) {
  pictureControl_ = pictureControl;
  if (pictureControl) pictureControl->setParent(ClientArea());
  LayOutClient();
}

void CWindowPlayingResource::LayOutClient() {
  PlaceControlBar(ClientArea()->width(), ClientArea()->height());
  FitPicture();  // above the bar as it is placed now
}

void CWindowPlayingResource::keyPressEvent(QKeyEvent* event) {
  // Escape would reject the dialog, that is hide the window: a playing window ignores it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CColorTitleDlg::keyPressEvent(event);
}

void CWindowPlayingResource::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CColorTitleDlg::keyReleaseEvent(event);
}

bool CWindowPlayingResource::eventFilter(QObject* watched, QEvent* event) {
  // LayoutRequest: a child (the control bar) asks for another size.
  if (watched == ClientArea() && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
    LayOutClient();
  }
  return CColorTitleDlg::eventFilter(watched, event);
}
