#pragma once
// A still picture as a frame source: read once (turned upright by its orientation tag) and sent
// again every second, so that a camera opened later finds it.
#include <QImage>
#include <chrono>
#include <string>

#include "media/FrameSource.h"

namespace kalimo::media {

class ImageSource : public FrameSource {
 public:
  static constexpr auto kInterval = std::chrono::seconds(1);

  explicit ImageSource(std::string path) : path_(std::move(path)) {}

  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  bool Poll(std::string& error) override;
  FrameSize Size() const override { return {image_.width(), image_.height()}; }
  double FrameRate() const override { return 1.0 / std::chrono::duration<double>(kInterval).count(); }
  std::string Label() const override;

 private:
  std::string path_;
  QImage image_;
  FramePreview preview_;
  std::chrono::steady_clock::time_point next_;
};

}  // namespace kalimo::media
