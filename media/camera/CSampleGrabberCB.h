#pragma once
// The camera's frame tap: each frame goes into the frame section, then to the photo and recording
// steps, on the camera's streaming thread (see FrameTap). One process-wide object serves the
// preview stream (Linux cameras have no separate still-image stream, so there is no second one);
// it also keeps the sizes of the open camera.
#include <atomic>

#include "media/base/FrameTap.h"
#include "media/camera/CameraFormats.h"

namespace kalimo::media {

class CSampleGrabberCB : public FrameTap {
 public:
  static CSampleGrabberCB& Preview();

  // The size the camera was opened at: frames of another size are dropped.
  void SetFrameSize(FrameSize size);
  FrameSize Size() const { return {width_.load(), height_.load()}; }
  // The largest format of the open camera, for the photo size (1600 × 1200 until a camera opens).
  void SetLargestSize(FrameSize size);
  FrameSize LargestSize() const { return {largestWidth_.load(), largestHeight_.load()}; }

 private:
  CSampleGrabberCB();
  std::atomic<int> width_{640};
  std::atomic<int> height_{480};
  std::atomic<int> largestWidth_{1600};
  std::atomic<int> largestHeight_{1200};
};

}  // namespace kalimo::media
