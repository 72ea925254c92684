#include "media/sources/ImageSource.h"

#include <QImageReader>
#include <filesystem>

#include "common/ApplyDataToOstrel.h"
#include "common/BitmapHelpers.h"
#include "common/FrameSectionLayout.h"
#include "media/sources/PictureFileReading.h"

namespace kalimo::media {
namespace {
// A picture the camera cannot take is only shown, so it is read at most at a size a screen shows.
constexpr QSize kLargestShownSize{2560, 2560};
}  // namespace

bool ImageSource::Load(std::string& error) {
  image_ = QImage();
  sendable_ = false;
  if (error = SourceFileProblem(path_); !error.empty()) return false;
  QImageReader reader(QString::fromStdString(path_));
  storedSize_ = reader.size();
  const bool fits =
      !storedSize_.isValid() || DibStride(storedSize_.width()) * storedSize_.height() <= kMaxFrameBytes;
  const QSize bound = fits ? QSize(kMaxHeaderDimension, kMaxHeaderDimension) : kLargestShownSize;
  image_ = ReadPictureFitting(reader, bound);
  if (image_.isNull()) {
    error = "not a picture Qt can read";
    return false;
  }
  // A picture whose size the reader could not tell before decoding is judged by what came out.
  if (!storedSize_.isValid()) storedSize_ = image_.size();
  sendable_ = fits && DibStride(image_.width()) * image_.height() <= kMaxFrameBytes;
  return true;
}

FrameView ImageSource::Send() {
  if (!sendable_) return {};
  return SendImageToSection(image_, ProcessFrameSectionHandle());
}

bool ImageSource::Start(FramePreview preview, std::string& error) {
  if (!Load(error)) return false;
  if (!sendable_) {
    error = "too large for the camera (" + std::to_string(storedSize_.width()) + " × " +
            std::to_string(storedSize_.height()) + " pixels; it takes about " +
            std::to_string(kMaxFrameBytes / 3 / 1'000'000) + " million at most)";
    image_ = QImage();
    return false;
  }
  preview_ = std::move(preview);
  next_ = std::chrono::steady_clock::now();
  return Poll(error);
}

void ImageSource::Stop() {
  image_ = QImage();
  sendable_ = false;
  preview_ = {};
}

bool ImageSource::Poll(std::string& /*error*/) {
  if (image_.isNull()) return false;
  if (std::chrono::steady_clock::now() < next_) return true;
  const FrameView written = Send();
  if (written && preview_) preview_(written);
  next_ = std::chrono::steady_clock::now() + kInterval;
  return true;
}

std::string ImageSource::Label() const { return "image " + std::filesystem::path(path_).filename().string(); }

}  // namespace kalimo::media
