#include "components/ScreenCaptureController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <cstdlib>
#include <cstring>

#include "common/Logging.h"
#include "components/AreaSelectionOverlay.h"
#include "library/settings/SettingParams.h"
#include "recording/MediaFileNames.h"
#include "recording/StorageFolders.h"

using kalimo::screencapture::ScreenArea;

namespace {

// Why this session cannot capture with ximagesrc; empty when it can.
std::string MissingDisplayReason() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* session = std::getenv("XDG_SESSION_TYPE");
  const bool onWayland = (wayland && *wayland) || (session && std::strcmp(session, "wayland") == 0);
  if (onWayland)
    return "this is a Wayland session: capturing its screen needs the desktop's ScreenCast portal "
           "(xdg-desktop-portal with pipewiresrc), which this build does not support yet; "
           "log in to an X11 session to capture the screen";
  if (!display || !*display) return "DISPLAY is not set: there is no X display to capture";
  return {};
}

// The next movie name of the settings, as a WebM file; empty (and logged) when the folder cannot be made.
std::string RecordingFilePath() {
  const kalimo::SettingValues settings = kalimo::GetCurrentSettings();
  const std::string movieFolder = kalimo::GetMovieFolder(settings);
  if (movieFolder.empty() || !kalimo::EnsureFolder(settings.storageFolder) || !kalimo::EnsureFolder(movieFolder))
    return {};
  std::string path = kalimo::MakeMovieFileName(movieFolder);
  const auto dot = path.rfind('.');
  if (path.empty() || dot == std::string::npos) return {};
  return path.substr(0, dot) + ".webm";
}

}  // namespace

ScreenCaptureController::ScreenCaptureController(ScreenFrameFunction frameCallback, int regionMode, int record,
                                                 QObject* notifyWindow)
    : frameCallback_(frameCallback), regionMode_(regionMode), record_(record), notifyWindow_(notifyWindow) {
  busTimer_.setInterval(kBusPollMilliseconds);
  connect(&busTimer_, &QTimer::timeout, this, &ScreenCaptureController::CheckPipeline);
}

ScreenCaptureController::~ScreenCaptureController() { Abandon(); }

void ScreenCaptureController::Start() {
  if (const std::string reason = MissingDisplayReason(); !reason.empty()) return Fail(reason);
  if (regionMode_ == kRegionWholeScreen) return Begin(ScreenArea{});
  if (regionMode_ != kRegionArea) return Fail("capturing a single window is not supported");
  auto* overlay = new AreaSelectionOverlay;
  overlay_ = overlay;
  connect(overlay, &AreaSelectionOverlay::AreaSelected, this,
          [this](QRect area) {
            delete overlay_;
            Begin(ScreenArea{area.x(), area.y(), area.width(), area.height()});
          }, Qt::QueuedConnection);  // queued: the overlay is deleted here, not inside its own handler
  connect(overlay, &AreaSelectionOverlay::Cancelled, this, &ScreenCaptureController::Finish, Qt::QueuedConnection);
  // The caller has just hidden its windows; the overlay's picture of the screen must not show them.
  QTimer::singleShot(kHiddenWindowsSettleMilliseconds, overlay, &AreaSelectionOverlay::Open);
}

void ScreenCaptureController::Begin(const ScreenArea& area) {
  std::string error;
  // The watch thread only asks this object, on its own thread, to finish.
  if (!escapeWatch_.Start([this] { QMetaObject::invokeMethod(this, &ScreenCaptureController::Finish, Qt::QueuedConnection); },
                          error))
    return Fail(error);
  bool started = false;
  if (record_ != 0) {
    const std::string path = RecordingFilePath();
    if (path.empty()) return Fail("no movie file can be made in the movie folder of the settings");
    started = pipeline_.StartRecording(area, path, error);
    if (started) KALIMO_LOG_INFO("recording the screen into %s", path.c_str());
  } else {
    ScreenFrameFunction callback = frameCallback_;
    started = pipeline_.StartFrames(
        area, [callback](const std::vector<unsigned char>& packed) { if (callback) callback(packed.data()); }, error);
  }
  if (!started) return Fail(error);
  busTimer_.start();
}

void ScreenCaptureController::CheckPipeline() {
  std::string error;
  if (!pipeline_.Poll(error)) Fail(error);
}

void ScreenCaptureController::Fail(const std::string& why) {
  KALIMO_LOG_ERROR("screen capture: %s", why.c_str());
  Finish();
}

void ScreenCaptureController::Finish() {
  if (finished_) return;
  Abandon();
  // Posted, never sent: the receiver may unload this library while handling it.
  if (notifyWindow_)
    QCoreApplication::postEvent(notifyWindow_, new QEvent(static_cast<QEvent::Type>(kScreenCaptureFinishedEvent)));
}

void ScreenCaptureController::Abandon() {
  finished_ = true;
  busTimer_.stop();
  delete overlay_;  // now: the library may be unloaded before a deferred delete would run
  escapeWatch_.Stop();
  pipeline_.Stop();  // joins the streaming threads: no frame after this
}
