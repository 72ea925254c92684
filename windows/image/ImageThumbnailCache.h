#pragma once
// Thumbnails of the image list, decoded once per file at a small size (turned upright by their
// orientation tag) and kept, so that painting the strip never decodes a picture again. A picture
// that cannot be decoded is remembered as a null image. Adding a file again forgets its thumbnail,
// so a changed file shows its new content.
#include <QHash>
#include <QImage>
#include <QSize>
#include <QString>

class ImageThumbnailCache {
 public:
  // Thumbnails are decoded to fit this size; the strip stretches them to its bands.
  static constexpr QSize kDecodedSize{266, 200};

  const QImage& Thumbnail(const QString& path);
  void Forget(const QString& path) { thumbnails_.remove(path); }
  int DecodeCount() const { return decodeCount_; }

 private:
  QHash<QString, QImage> thumbnails_;
  int decodeCount_ = 0;
};
