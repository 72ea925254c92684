// kalimo-feed: feeds the virtual camera from a video file, a camera, a picture or the screen,
// without windows — for scripts, servers, and until the main window exists.
//
//   kalimo-feed --loop "video/示例影音文件(使用时可以删除).avi"
//   kalimo-feed --camera 0 --record movie.avi
//
// Ctrl-C (SIGINT) or SIGTERM stops it cleanly: the recording is finished, the frame section is
// removed and the log flushed.
#include <QImage>
#include <QImageReader>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/ApplyDataToOstrel.h"
#include "common/BitmapHelpers.h"
#include "common/FrameSectionLayout.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "media/CCaptureVideo.h"
#include "media/CMyVideoPlayer.h"
#include "media/CSampleGrabberCB.h"
#include "media/MediaResult.h"
#include "platform/SingleInstance.h"
#include "shell/feed/CameraPreferences.h"
#include "shell/feed/FeedOptions.h"
#include "shell/feed/FeedRecorder.h"
#include "shell/feed/ScreenSource.h"
#include "shell/settings/SettingParams.h"

namespace kalimo::feed {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStatusInterval = std::chrono::milliseconds(500);
constexpr auto kImageInterval = std::chrono::seconds(1);

int Fail(const std::string& text) {
  std::fprintf(stderr, "kalimo-feed: %s\n", text.c_str());
  KALIMO_LOG_ERROR("%s", text.c_str());
  return 1;
}

// Blocks the stop signals in every thread (GStreamer's threads inherit the mask); the main loop
// takes them with sigtimedwait.
sigset_t BlockStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return stopSignals;
}

bool WaitForStopSignal(const sigset_t& stopSignals, std::chrono::milliseconds wait) {
  timespec timeout{0, static_cast<long>(std::chrono::nanoseconds(wait).count())};
  return sigtimedwait(&stopSignals, nullptr, &timeout) > 0;
}

// The one-line live status, only where somebody watches a terminal.
class StatusLine {
 public:
  explicit StatusLine(std::string source) : source_(std::move(source)), shown_(isatty(STDOUT_FILENO) == 1) {}
  void Update(const FeedRecorder& recorder) {
    const auto now = Clock::now();
    if (!shown_ || now - last_ < kStatusInterval) return;
    const auto frames = recorder.Frames();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    const double rate = lastFrames_ <= frames && seconds > 0 ? static_cast<double>(frames - lastFrames_) / seconds : 0;
    std::printf("\r%s  %dx%d  frames %llu  %.1f fps   ", source_.c_str(), recorder.Width(), recorder.Height(),
                static_cast<unsigned long long>(frames), rate);
    std::fflush(stdout);
    last_ = now;
    lastFrames_ = frames;
  }
  void End() {
    if (shown_) std::printf("\n");
  }

 private:
  std::string source_;
  bool shown_;
  Clock::time_point last_ = Clock::now();
  std::uint64_t lastFrames_ = 0;
};

std::string FailureText(int result, const std::string& path) {
  if (!path.empty() && !std::filesystem::exists(path)) return "媒体文件不存在或者已经被删除";
  return FormatResultText(result);
}

// A camera by position ("0") or by name.
int CameraPosition(media::CCaptureVideo& capture, const std::string& wanted) {
  if (!wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos) return std::stoi(wanted);
  std::vector<std::string> names;
  capture.EnumCameras(names);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == wanted) return static_cast<int>(i);
  }
  return -1;
}

int ListCameras() {
  media::CCaptureVideo capture;
  std::vector<std::string> names;
  capture.EnumCameras(names);
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu\t%s\n", i, names[i].c_str());
  return 0;
}

// Runs until a stop signal, or until the source ends; returns the exit status.
int Feed(const FeedOptions& options, const sigset_t& stopSignals) {
  FeedRecorder recorder(options.recordPath, options.snapshotPath);
  auto step = [&recorder](const unsigned char* frame, int width, int height, int length) {
    recorder.OnFrame(frame, width, height, length);
  };
  std::unique_ptr<media::CMyVideoPlayer> player;
  std::unique_ptr<media::CCaptureVideo> capture;
  std::unique_ptr<ScreenSource> screen;
  QImage image;
  std::string label;
  int status = 0;

  switch (options.source) {
    case SourceKind::Video: {
      media::CMyVideoSampleGrabberCB::Instance().SetFrameStep(step);
      player = std::make_unique<media::CMyVideoPlayer>();
      const int result = player->OpenFile(nullptr, options.argument);
      if (media::Failed(result)) return Fail("cannot play " + options.argument + ": " + FailureText(result, options.argument));
      recorder.Arm(player->FrameRate());
      label = "video " + std::filesystem::path(options.argument).filename().string();
      break;
    }
    case SourceKind::Camera: {
      media::CSampleGrabberCB::Preview().SetFrameStep(step);
      capture = std::make_unique<media::CCaptureVideo>();
      const int position = CameraPosition(*capture, options.argument);
      const int result = capture->OpenCamera(position, nullptr);
      if (result != media::kOk) return Fail("cannot open the camera " + options.argument);
      const auto largest = media::CSampleGrabberCB::Preview().LargestSize();
      const SettingValues settings = GetCurrentSettings();
      recorder.Arm(capture->FrameRate(),
                   SnapshotSize({settings.frameWidth, settings.frameHeight}, {largest.width, largest.height},
                                {capture->FrameWidth(), capture->FrameHeight()}));
      label = "camera " + options.argument;
      break;
    }
    case SourceKind::Image: {
      QImageReader reader(QString::fromStdString(options.argument));
      reader.setAutoTransform(true);
      image = reader.read();
      if (image.isNull())
        return Fail("cannot read the picture " + options.argument + ": " + reader.errorString().toStdString());
      recorder.Arm(1.0 / std::chrono::duration<double>(kImageInterval).count());
      label = "image " + std::filesystem::path(options.argument).filename().string();
      break;
    }
    case SourceKind::Screen: {
      screen = std::make_unique<ScreenSource>(step);
      std::string error;
      if (!screen->Start(error)) return Fail("cannot capture the screen: " + error);
      recorder.Arm(ScreenSource::kFramesPerSecond);
      label = "screen";
      break;
    }
    case SourceKind::ListCameras:
      return ListCameras();
    case SourceKind::None:
      return 0;
  }
  KALIMO_LOG_INFO("feeding the virtual camera from %s", label.c_str());

  StatusLine line(label);
  auto nextImage = Clock::now();
  for (bool running = true; running;) {
    if (WaitForStopSignal(stopSignals, std::chrono::milliseconds(100))) break;
    if (!image.isNull() && Clock::now() >= nextImage) {
      // A still picture is sent again now and then, so that a camera opened later finds it.
      FrameSectionHandle& cell = ProcessFrameSectionHandle();
      if (SendImageToSection(image, cell) && cell.view) {
        const FrameSectionHeader header = LoadSectionHeader(cell.view);
        step(cell.view + kSectionHeaderSize, header.width, header.height, header.byteCount);
      }
      nextImage = Clock::now() + kImageInterval;
    }
    media::PipelineEvent event{};
    if (player && player->TakeNextEvent(event)) {
      if (event == media::PipelineEvent::EndOfStream && options.loop) {
        player->SetPosition(0);
        player->Run();
      } else {
        running = false;
        if (event == media::PipelineEvent::Error) status = Fail("the video stopped with an error");
      }
    }
    if (capture && capture->TakeNextEvent(event)) {
      running = false;
      status = Fail("the camera stopped delivering pictures (unplugged?)");
    }
    if (screen && screen->Stopped()) {
      running = false;
      status = Fail("the screen capture stopped");
    }
    line.Update(recorder);
  }
  line.End();

  // Stop the source first, so that no frame arrives while the movie is finished.
  player.reset();
  capture.reset();
  screen.reset();
  media::CMyVideoSampleGrabberCB::Instance().SetFrameStep({});
  media::CSampleGrabberCB::Preview().SetFrameStep({});
  if (!recorder.Finish() && status == 0) status = Fail("the recording or the photo could not be written");
  std::printf("%s: %llu frames sent\n", label.c_str(), static_cast<unsigned long long>(recorder.Frames()));
  return status;
}

}  // namespace
}  // namespace kalimo::feed

int main(int argc, char** argv) {
  using namespace kalimo;
  const sigset_t stopSignals = feed::BlockStopSignals();
  std::string error;
  const auto options = feed::ParseFeedOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "kalimo-feed: %s\n%s", error.c_str(), feed::kFeedUsage);
    return 2;
  }
  // Without a logging configuration in the working folder the records go nowhere; failures are
  // printed to standard error all the same.
  if (!log::Configure()) log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
  if (options->lowLatency) {
    if (!feed::StoreCameraLowLatency(*options->lowLatency, error)) return feed::Fail(error);
    std::printf("The virtual camera now delivers %s.\n",
                *options->lowLatency ? "the newest picture at once (low latency)" : "a steady picture (default)");
  }
  if (options->source == feed::SourceKind::None) return 0;
  if (options->source == feed::SourceKind::ListCameras) return feed::ListCameras();

  // While it feeds, kalimo-feed is the producer of frames: it serves the endpoint that tells the
  // virtual camera the main program need not be started, and refuses to run beside another one.
  platform::SingleInstanceServer instance;
  int instanceError = 0;
  if (!instance.Start([](const std::string& request) { KALIMO_LOG_INFO("request from another start: %s", request.c_str()); },
                      instanceError)) {
    if (instanceError == EADDRINUSE) return feed::Fail("another Kalimo program is already feeding the virtual camera");
    if (instanceError == EACCES) {
      return feed::Fail("the folder of " + platform::SingleInstanceEndpointPath() +
                        " belongs to another user or is open to others; remove it, or let only its owner in (mode 0700)");
    }
    KALIMO_LOG_ERROR("single-instance endpoint: %s", SystemErrorText(instanceError).c_str());
  }
  // A section name taken by another user's object would leave every frame unsent: stop at once.
  if (!PrepareFrameSection(ProcessFrameSectionHandle(), error)) {
    instance.Stop();
    return feed::Fail(error);
  }
  const int status = feed::Feed(*options, stopSignals);
  CloseFrameSection(ProcessFrameSectionHandle());
  instance.Stop();
  log::Shutdown();
  return status;
}
