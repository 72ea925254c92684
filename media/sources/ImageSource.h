#pragma once
// A still picture as a frame source: read once, upright, and sent again every second, so that a
// camera opened later finds it. The image tab's window reads and sends its slides through it too,
// deciding itself when to send.
#include <QImage>
#include <chrono>
#include <string>

#include "media/sources/FrameSource.h"

namespace kalimo::media {

class ImageSource : public FrameSource {
 public:
  static constexpr auto kInterval = std::chrono::seconds(1);

  explicit ImageSource(std::string path) : path_(std::move(path)) {}

  // Reads the picture, upright. One whose rows fit in the frame section is read at its own size;
  // a larger one at most at a size a screen shows, for showing only. False with `error` saying
  // why when there is no picture to show.
  bool Load(std::string& error);
  const QImage& Picture() const { return image_; }
  // Whether the loaded picture can go to the camera.
  bool Sendable() const { return sendable_; }
  // Writes the loaded picture into the frame section; the section's copy, empty when the picture
  // is not sendable or did not get there.
  FrameView Send();

  // Load and Send, and Send again every kInterval; a picture too large for the section fails.
  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  bool Poll(std::string& error) override;
  FrameSize Size() const override { return {image_.width(), image_.height()}; }
  double FrameRate() const override { return 1.0 / std::chrono::duration<double>(kInterval).count(); }
  std::string Label() const override;

 private:
  std::string path_;
  QImage image_;
  QSize storedSize_;  // as the file says, before any scaling down
  bool sendable_ = false;
  FramePreview preview_;
  std::chrono::steady_clock::time_point next_;
};

}  // namespace kalimo::media
