#pragma once
// A real camera as a frame source, chosen by its position in the camera list or by its name.
#include <memory>
#include <string>
#include <vector>

#include "media/sources/FrameSource.h"

namespace kalimo::media {

class CCaptureVideo;

class CameraSource : public FrameSource {
 public:
  // `wanted`: a position ("0") or a name. `virtualCameraName`: the name the user gave the virtual
  // camera, left out of the list.
  CameraSource(std::string wanted, std::string virtualCameraName);
  ~CameraSource() override;

  // The cameras to offer, in the order of their positions.
  static std::vector<std::string> List(const std::string& virtualCameraName);

  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  bool Poll(std::string& error) override;
  FrameSize Size() const override;
  double FrameRate() const override;
  std::string Label() const override { return "camera " + wanted_; }

  // The camera's largest format, known once started (photos are not taken larger).
  FrameSize LargestSize() const;

 private:
  std::string wanted_;
  std::string virtualCameraName_;
  std::unique_ptr<CCaptureVideo> capture_;
};

}  // namespace kalimo::media
