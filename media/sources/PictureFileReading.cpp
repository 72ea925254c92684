#include "media/sources/PictureFileReading.h"

#include <mutex>

namespace {
// Enough for a 48-megapixel photo of 16 bits a channel; Qt's default (128 MB) refuses a
// 6000 × 4000 picture of that depth.
constexpr int kLargePictureLimitMb = 512;
}  // namespace

QImage ReadPictureFitting(const QString& path, const QSize& bound) {
  QImageReader reader(path);
  return ReadPictureFitting(reader, bound);
}

QImage ReadPictureFitting(QImageReader& reader, const QSize& bound) {
  static std::once_flag raised;
  std::call_once(raised, [] {
    if (QImageReader::allocationLimit() < kLargePictureLimitMb) QImageReader::setAllocationLimit(kLargePictureLimitMb);
  });
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  const bool large = size.isValid() && (size.width() > bound.width() || size.height() > bound.height());
  const QSize fitted = size.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  // A JPEG decodes straight to the small size, so a camera photo never takes tens of megabytes.
  // Other formats are scaled after decoding, in full colour: Qt scales a 1-bit palette picture
  // (as flat pictures are often saved) within its two colours, into noise or black.
  const bool scaledWhileDecoding = large && reader.format() == "jpeg";
  if (scaledWhileDecoding) reader.setScaledSize(fitted);
  QImage image = reader.read();
  if (large && !scaledWhileDecoding && !image.isNull()) {
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                .scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  return image;
}
