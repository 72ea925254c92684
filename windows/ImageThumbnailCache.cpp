#include "windows/ImageThumbnailCache.h"

#include <QImageReader>

const QImage& ImageThumbnailCache::Thumbnail(const QString& path) {
  auto found = thumbnails_.find(path);
  if (found != thumbnails_.end()) return *found;
  ++decodeCount_;
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  // Decoding straight to the small size keeps a camera photo from taking tens of megabytes.
  if (size.isValid() && (size.width() > kDecodedSize.width() || size.height() > kDecodedSize.height())) {
    reader.setScaledSize(size.scaled(kDecodedSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  }
  return *thumbnails_.insert(path, reader.read());
}
