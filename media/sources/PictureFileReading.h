#pragma once
// Reading a picture file for showing it: turned upright by its orientation tag, and, when larger
// than a bound, brought down to fit within it, so that a photo of tens of megapixels (or one of 16
// bits a channel, which Qt decodes at 8 bytes a pixel) is shown rather than refused by the
// reader's allocation limit.
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QString>

// Reads the picture upright; one larger than `bound` in either direction comes scaled to fit
// within it, keeping its shape. Null when the file cannot be decoded.
QImage ReadPictureFitting(const QString& path, const QSize& bound);
// The same from a reader the caller has already asked for the picture's size.
QImage ReadPictureFitting(QImageReader& reader, const QSize& bound);
