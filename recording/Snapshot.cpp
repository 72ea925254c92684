#include "recording/Snapshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <atomic>
#include <cerrno>

#include "common/FrameSectionLayout.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "platform/FileWriting.h"
#include "recording/BicubicScaler.h"

namespace kalimo {

namespace {

std::atomic<int> largestWidth{kDefaultLargestCameraSize.width};
std::atomic<int> largestHeight{kDefaultLargestCameraSize.height};

// Image-library status codes for the warning texts.
constexpr int kGenericErrorStatus = 1;
constexpr int kOutOfMemoryStatus = 3;
constexpr int kSystemErrorStatus = 7;  // the text of errno
constexpr int kJpegQuality = 100;

void WarnWithSystemError(int error) {
  errno = error;
  ShowWarning(GdiplusStatusText(kSystemErrorStatus));
}

// Writes the encoded photo; a photo that could not be written whole is removed.
bool WritePhotoFile(const std::string& path, const QByteArray& jpeg) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    WarnWithSystemError(errno);
    return false;
  }
  const char* bytes = jpeg.constData();
  auto remaining = static_cast<std::size_t>(jpeg.size());
  while (remaining > 0) {
    const ssize_t written = ::write(fd, bytes, remaining);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = written < 0 ? errno : ENOSPC;
      platform::CloseAndDiscard(fd, path);
      WarnWithSystemError(error);
      return false;
    }
    bytes += written;
    remaining -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    WarnWithSystemError(error);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> FindJpegEncoder() {
  for (const QByteArray& mimeType : QImageWriter::supportedMimeTypes()) {
    if (mimeType != "image/jpeg") continue;
    const QList<QByteArray> formats = QImageWriter::imageFormatsForMimeType(mimeType);
    if (!formats.isEmpty()) return formats.first().toStdString();
  }
  return std::nullopt;
}

void SetLargestCameraFrameSize(FrameSize size) {
  largestWidth = size.width;
  largestHeight = size.height;
}

FrameSize LargestCameraFrameSize() { return {largestWidth, largestHeight}; }

FrameSize SnapshotSize(FrameSize configured, FrameSize largestCamera, FrameSize frame) {
  if (configured.width <= largestCamera.width && configured.height <= largestCamera.height) return configured;
  FrameSize size{largestCamera.width, largestCamera.height};
  if (frame.width > 0 && frame.height > 0) {
    const float ratio = static_cast<float>(frame.height) / static_cast<float>(frame.width);
    size.height = static_cast<int>(ratio * static_cast<float>(largestCamera.width));
  }
  size.height = std::max(size.height, 1);  // a very wide frame still gives a picture
  size.width = std::max(size.width, 1);
  return size;
}

bool SaveSnapshot(const unsigned char* frame, int length, int width, int height, const std::string& path,
                  FrameSize wanted) {
  if (!frame || length <= 0) return false;
  const std::int64_t stride = DibStride(width);
  if (width <= 0 || height <= 0 || wanted.width <= 0 || wanted.height <= 0 || length < stride * height) {
    KALIMO_LOG_ERROR("Snapshot refused: frame %dx%d of %d bytes, photo %dx%d", width, height, length, wanted.width,
                     wanted.height);
    return false;
  }
  const std::optional<std::string> encoderFormat = FindJpegEncoder();
  if (!encoderFormat) return false;

  // The frame's rows are bottom-up: the mirrored copy is the upright picture.
  const QImage rows(frame, width, height, static_cast<qsizetype>(stride), QImage::Format_BGR888);
  const QImage upright = rows.mirrored(false, true);
  QImage photo = upright;
  if (!upright.isNull() && (wanted.width != width || wanted.height != height)) {
    photo = QImage(wanted.width, wanted.height, QImage::Format_BGR888);
    if (!photo.isNull()) {
      ScaleBicubic24(upright.constBits(), width, height, static_cast<int>(upright.bytesPerLine()), photo.bits(),
                     wanted.width, wanted.height, static_cast<int>(photo.bytesPerLine()));
    }
  }
  if (photo.isNull()) {
    ShowWarning(GdiplusStatusText(kOutOfMemoryStatus));
    return false;
  }

  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter encoder(&buffer, QByteArray::fromStdString(*encoderFormat));
  encoder.setQuality(kJpegQuality);
  if (!encoder.write(photo)) {
    ShowWarning(GdiplusStatusText(kGenericErrorStatus));
    return false;
  }
  return WritePhotoFile(path, jpeg);
}

}  // namespace kalimo
