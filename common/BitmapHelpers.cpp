#include "common/BitmapHelpers.h"

#include <QImage>
#include <QPainter>
#include <cstring>
#include <limits>

#include "common/FrameSectionLayout.h"

namespace kalimo {

DibBits BitmapToDibBits(int& outWidth, int& outHeight, const QImage& bitmap, std::int32_t& outByteCount) {
  outWidth = bitmap.width();
  outHeight = bitmap.height();
  const std::int64_t stride = DibStride(outWidth);
  const std::int64_t size = stride * outHeight;
  outByteCount = size > std::numeric_limits<std::int32_t>::max() ? 0 : static_cast<std::int32_t>(size);
  if (bitmap.isNull() || outByteCount == 0) return nullptr;

  const QImage bgr = bitmap.convertToFormat(QImage::Format_BGR888);
  if (bgr.isNull()) return nullptr;  // the conversion could not allocate
  DibBits bits(new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]);
  if (!bits) return nullptr;
  const auto rowBytes = static_cast<std::size_t>(outWidth) * 3;
  for (int row = 0; row < outHeight; ++row) {
    unsigned char* target = bits.get() + static_cast<std::int64_t>(outHeight - 1 - row) * stride;
    std::memcpy(target, bgr.constScanLine(row), rowBytes);
    std::memset(target + rowBytes, 0, static_cast<std::size_t>(stride) - rowBytes);
  }
  return bits;
}

DibBits ImageToDibBits(const QImage& image, std::int32_t& outByteCount, int expectedWidth, int expectedHeight) {
  if (image.isNull()) return nullptr;
  if (image.width() != expectedWidth || image.height() != expectedHeight) return nullptr;
  QImage onWhite(image.size(), QImage::Format_RGB32);
  if (onWhite.isNull()) return nullptr;
  onWhite.fill(Qt::white);
  {
    QPainter painter(&onWhite);
    painter.drawImage(0, 0, image);
  }
  int width = 0;
  int height = 0;
  return BitmapToDibBits(width, height, onWhite, outByteCount);
}

FrameView SendImageToSection(const QImage& image, FrameSectionHandle& handleCell) {
  if (image.isNull()) return {};
  const int width = image.width();
  const int height = image.height();
  std::int32_t byteCount = 0;
  const DibBits bits = ImageToDibBits(image, byteCount, width, height);
  if (!bits) return {};
  return WriteFrameToSection(bits.get(), handleCell, byteCount, width, height);
}

}  // namespace kalimo
