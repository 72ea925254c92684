#include "media/ImageSource.h"

#include <QImageReader>
#include <filesystem>

#include "common/ApplyDataToOstrel.h"
#include "common/BitmapHelpers.h"
#include "common/FrameSectionLayout.h"

namespace kalimo::media {

bool ImageSource::Start(FramePreview preview, std::string& error) {
  if (error = SourceFileProblem(path_); !error.empty()) return false;
  QImageReader reader(QString::fromStdString(path_));
  reader.setAutoTransform(true);
  image_ = reader.read();
  if (image_.isNull()) {
    error = "not a picture Qt can read";
    return false;
  }
  preview_ = std::move(preview);
  next_ = std::chrono::steady_clock::now();
  return Poll(error);
}

void ImageSource::Stop() {
  image_ = QImage();
  preview_ = {};
}

bool ImageSource::Poll(std::string& /*error*/) {
  if (image_.isNull()) return false;
  if (std::chrono::steady_clock::now() < next_) return true;
  const FrameView written = SendImageToSection(image_, ProcessFrameSectionHandle());
  if (written && preview_) preview_(written);
  next_ = std::chrono::steady_clock::now() + kInterval;
  return true;
}

std::string ImageSource::Label() const { return "image " + std::filesystem::path(path_).filename().string(); }

}  // namespace kalimo::media
