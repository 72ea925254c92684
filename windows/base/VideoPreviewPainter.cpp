#include "windows/base/VideoPreviewPainter.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include "media/CCaptureVideo.h"
#include "media/CMyVideoPlayer.h"

namespace kalimo::media {

void PaintVideoFrame(QPainter& painter, const QRect& target, const FrameView& topDownFrame) {
  // Wraps the mapped rows without copying; the image does not outlive this call.
  const QImage image(topDownFrame.bits, topDownFrame.width, topDownFrame.height,
                     static_cast<qsizetype>(topDownFrame.stride), QImage::Format_BGR888);
  painter.drawImage(target, image);
}

bool RepaintVideo(const CMyVideoPlayer& player, QPainter& painter, const QRect& target) {
  return player.ReadPreviewFrame([&](const FrameView& frame) { PaintVideoFrame(painter, target, frame); });
}

bool RepaintVideo(const CCaptureVideo& capture, QPainter& painter, const QRect& target) {
  return capture.ReadPreviewFrame([&](const FrameView& frame) { PaintVideoFrame(painter, target, frame); });
}

}  // namespace kalimo::media
