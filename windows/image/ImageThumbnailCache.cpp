#include "windows/image/ImageThumbnailCache.h"

#include "media/sources/PictureFileReading.h"

const QImage& ImageThumbnailCache::Thumbnail(const QString& path) {
  auto found = thumbnails_.find(path);
  if (found != thumbnails_.end()) return *found;
  ++decodeCount_;
  const QImage thumbnail = ReadPictureFitting(path, kDecodedSize);
  return *thumbnails_.insert(path, thumbnail);
}
