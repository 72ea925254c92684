#include "windows/base/VideoPreviewPainter.h"

#include <QImage>
#include <QPainter>
#include <QRect>

namespace kalimo::media {

void PaintVideoFrame(QPainter& painter, const QRect& target, const FrameView& topDownFrame) {
  // Wraps the mapped rows without copying; the image does not outlive this call.
  const QImage image(topDownFrame.bits, topDownFrame.width, topDownFrame.height,
                     static_cast<qsizetype>(topDownFrame.stride), QImage::Format_BGR888);
  painter.drawImage(target, image);
}

}  // namespace kalimo::media
