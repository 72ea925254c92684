#include "media/VideoPreviewPainter.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include "media/CCaptureVideo.h"
#include "media/CMyVideoPlayer.h"

namespace kalimo::media {

void PaintVideoFrame(QPainter& painter, const QRect& target, const BgrFrameView& frame) {
  // Wraps the mapped rows without copying; the image does not outlive this call.
  const QImage image(frame.rows, frame.width, frame.height, frame.stride, QImage::Format_BGR888);
  painter.drawImage(target, image);
}

bool RepaintVideo(const CMyVideoPlayer& player, QPainter& painter, const QRect& target) {
  return player.ReadPreviewFrame([&](const BgrFrameView& frame) { PaintVideoFrame(painter, target, frame); });
}

bool RepaintVideo(const CCaptureVideo& capture, QPainter& painter, const QRect& target) {
  return capture.ReadPreviewFrame([&](const BgrFrameView& frame) { PaintVideoFrame(painter, target, frame); });
}

}  // namespace kalimo::media
