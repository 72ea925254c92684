#include "windows/base/VideoPreviewPainter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace kalimo::media {
namespace {

TEST(VideoPreviewPainterTest, StretchesTheTopDownFrameOverTheWholeTarget) {
  // 2 × 2 BGR, rows 8 bytes apart: top row red, blue; bottom row green, white.
  const unsigned char rows[16] = {0, 0, 255, 255, 0, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};
  const FrameView frame{rows, 2, 2, 8, 16};
  QImage canvas(200, 60, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  {
    QPainter painter(&canvas);
    PaintVideoFrame(painter, canvas.rect(), frame);
  }
  EXPECT_EQ(canvas.pixelColor(10, 5), QColor(Qt::red));
  EXPECT_EQ(canvas.pixelColor(190, 5), QColor(Qt::blue));
  EXPECT_EQ(canvas.pixelColor(10, 55), QColor(Qt::green));
  EXPECT_EQ(canvas.pixelColor(190, 55), QColor(Qt::white));
}

}  // namespace
}  // namespace kalimo::media
