#include "windows/ImageThumbnailCache.h"

#include <QImageReader>

const QImage& ImageThumbnailCache::Thumbnail(const QString& path) {
  auto found = thumbnails_.find(path);
  if (found != thumbnails_.end()) return *found;
  ++decodeCount_;
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  const bool large = size.isValid() && (size.width() > kDecodedSize.width() || size.height() > kDecodedSize.height());
  const QSize small = size.scaled(kDecodedSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  // A JPEG decodes straight to the small size, so a camera photo never takes tens of megabytes.
  // Other formats are scaled after decoding, in full colour: Qt scales a 1-bit palette picture
  // (as flat pictures are often saved) within its two colours, into noise or black.
  const bool scaledWhileDecoding = large && reader.format() == "jpeg";
  if (scaledWhileDecoding) reader.setScaledSize(small);
  QImage thumbnail = reader.read();
  if (large && !scaledWhileDecoding && !thumbnail.isNull()) {
    thumbnail = thumbnail.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(kDecodedSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  return *thumbnails_.insert(path, thumbnail);
}
