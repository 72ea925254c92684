#include "media/camera/CSampleGrabberCB.h"

namespace kalimo::media {

CSampleGrabberCB& CSampleGrabberCB::Preview() {
  static CSampleGrabberCB instance;
  return instance;
}

CSampleGrabberCB::CSampleGrabberCB() { ExpectSize(Size()); }

void CSampleGrabberCB::SetFrameSize(FrameSize size) {
  width_.store(size.width);
  height_.store(size.height);
  ExpectSize(size);
}

void CSampleGrabberCB::SetLargestSize(FrameSize size) {
  largestWidth_.store(size.width);
  largestHeight_.store(size.height);
}

}  // namespace kalimo::media
