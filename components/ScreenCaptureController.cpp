#include "components/ScreenCaptureController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <cstdlib>
#include <cstring>

#include "common/Logging.h"
#include "components/AreaSelectionOverlay.h"
#include "components/CaptureStopWindow.h"
#include "library/settings/SettingParams.h"
#include "recording/MediaFileNames.h"
#include "recording/StorageFolders.h"

using kalimo::media::CaptureSource;
using kalimo::media::ScreenArea;
using kalimo::media::ScreenCapturePipeline;

namespace {

// On Wayland (X11 programs there included, which ximagesrc would show only themselves of) the
// screen is reached through the desktop's ScreenCast portal alone.
bool IsWaylandSession() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* session = std::getenv("XDG_SESSION_TYPE");
  return (wayland && *wayland) || (session && std::strcmp(session, "wayland") == 0);
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
  if (regionMode_ != kRegionArea && regionMode_ != kRegionWholeScreen)
    return Fail("capturing a single window is not supported");
  if (IsWaylandSession()) return StartThroughPortal();
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return Fail("DISPLAY is not set: there is no X display to capture");
  if (regionMode_ == kRegionWholeScreen) return Begin(CaptureSource{});
  auto* overlay = new AreaSelectionOverlay;
  overlay_ = overlay;
  connect(overlay, &AreaSelectionOverlay::AreaSelected, this,
          [this](QRect area) {
            delete overlay_;
            Begin(CaptureSource{ScreenArea{area.x(), area.y(), area.width(), area.height()}});
          }, Qt::QueuedConnection);  // queued: the overlay is deleted here, not inside its own handler
  connect(overlay, &AreaSelectionOverlay::Cancelled, this, &ScreenCaptureController::Finish, Qt::QueuedConnection);
  // The caller has just hidden its windows; the overlay's picture of the screen must not show them.
  QTimer::singleShot(kHiddenWindowsSettleMilliseconds, overlay, &AreaSelectionOverlay::Open);
}

void ScreenCaptureController::StartThroughPortal() {
  // Checked first: the user is not asked to share the screen with a capture that cannot run.
  if (const std::string missing = ScreenCapturePipeline::MissingElementsError(true, record_ != 0);
      !missing.empty())
    return Fail(missing);
  connect(&portal_, &ScreenCastPortal::Failed, this, [this](const QString& why) { Fail(why.toStdString()); });
  connect(&portal_, &ScreenCastPortal::Ended, this, [this] {
    KALIMO_LOG_INFO("screen capture: the desktop ended the screen sharing");
    Finish();
  });
  connect(&portal_, &ScreenCastPortal::StreamReady, this,
          [this](int pipeWireFd, quint32 nodeId) { Begin(CaptureSource{{}, pipeWireFd, nodeId}); });
  // A Wayland program can neither see the screen for the area overlay nor place it: the area is
  // whatever the user picks in the desktop's dialog, a window or a monitor, never more.
  portal_.Open(regionMode_ == kRegionArea ? ScreenCastPortal::Choice::kMonitorOrWindow
                                          : ScreenCastPortal::Choice::kMonitor);
}

void ScreenCaptureController::Begin(const CaptureSource& source) {
  std::string error;
  // The watch thread only asks this object, on its own thread, to finish.
  if (!source.IsPortalStream() &&
      !escapeWatch_.Start([this] { QMetaObject::invokeMethod(this, &ScreenCaptureController::Finish, Qt::QueuedConnection); },
                          error))
    return Fail(error);
  bool started = false;
  if (record_ != 0) {
    const std::string path = RecordingFilePath();
    if (path.empty()) return Fail("no movie file can be made in the movie folder of the settings");
    started = pipeline_.StartRecording(source, path, error);
    if (started) KALIMO_LOG_INFO("recording the screen into %s", path.c_str());
  } else {
    ScreenFrameFunction callback = frameCallback_;
    started = pipeline_.StartFrames(
        source, [callback](const std::vector<unsigned char>& packed) { if (callback) callback(packed.data()); }, error);
  }
  if (!started) return Fail(error);
  busTimer_.start();
  if (source.IsPortalStream()) {
    auto* stopWindow = new CaptureStopWindow;
    stopWindow_ = stopWindow;
    // Queued: the window is deleted here, not inside its own handler.
    connect(stopWindow, &CaptureStopWindow::StopRequested, this, &ScreenCaptureController::Finish,
            Qt::QueuedConnection);
    stopWindow->show();
    stopWindow->raise();
    stopWindow->activateWindow();
  }
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
  delete stopWindow_;
  portal_.Close();
  escapeWatch_.Stop();
  pipeline_.Stop();  // joins the streaming threads: no frame after this
}
