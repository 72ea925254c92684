#include "media/sources/CameraSource.h"

#include "media/base/MediaResult.h"
#include "media/camera/CCaptureVideo.h"
#include "media/camera/CSampleGrabberCB.h"

namespace kalimo::media {
namespace {

bool IsPosition(const std::string& wanted) {
  return !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
}

// The camera's position in `names`, or -1 when there is none by that position or name.
int PositionOf(const std::string& wanted, const std::vector<std::string>& names) {
  if (IsPosition(wanted)) return wanted.size() < 9 ? std::stoi(wanted) : -1;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == wanted) return static_cast<int>(i);
  return -1;
}

}  // namespace

CameraSource::CameraSource(std::string wanted, std::string virtualCameraName)
    : wanted_(std::move(wanted)), virtualCameraName_(std::move(virtualCameraName)) {}

CameraSource::~CameraSource() { Stop(); }

std::vector<std::string> CameraSource::List(const std::string& virtualCameraName) {
  CCaptureVideo capture(virtualCameraName);
  std::vector<std::string> names;
  capture.EnumCameras(names);
  return names;
}

bool CameraSource::Start(FramePreview preview, std::string& error) {
  Stop();
  CSampleGrabberCB::Preview().SetFrameStep(std::move(preview));
  capture_ = std::make_unique<CCaptureVideo>(virtualCameraName_);
  std::vector<std::string> names;
  capture_->EnumCameras(names);
  const int result = capture_->OpenCamera(PositionOf(wanted_, names), nullptr);
  if (result == kOk) return true;
  std::string reason;
  if (result == kFalse) {
    reason = IsPosition(wanted_) ? "there is no camera " + wanted_ + " (" + std::to_string(names.size()) + " found)"
                                 : "no camera is named \"" + wanted_ + "\"";
  } else if (result == kAccessDenied) {
    reason = "permission denied (is the user in the group video?)";
  } else if (result == kTimeout) {
    reason = "it sent no picture within " + std::to_string(CCaptureVideo::kStartTimeoutNs / 1000000000) + " s";
  } else if (result == kUnsupportedStream) {
    reason = "it offers no picture format this program can read";
  } else {
    reason = "GStreamer could not start it (GST_DEBUG=2 shows why)";
  }
  error = "cannot open the camera " + wanted_ + ": " + reason;
  Stop();
  return false;
}

void CameraSource::Stop() {
  capture_.reset();
  CSampleGrabberCB::Preview().SetFrameStep({});
}

bool CameraSource::Poll(std::string& error) {
  if (!capture_) return false;
  PipelineEvent event{};
  if (!capture_->TakeNextEvent(event)) return true;
  error = "the camera stopped delivering pictures (unplugged?)";
  return false;
}

FrameSize CameraSource::Size() const {
  return capture_ ? FrameSize{capture_->FrameWidth(), capture_->FrameHeight()} : FrameSize{};
}

double CameraSource::FrameRate() const { return capture_ ? capture_->FrameRate() : 0; }

FrameSize CameraSource::LargestSize() const { return CSampleGrabberCB::Preview().LargestSize(); }

}  // namespace kalimo::media
