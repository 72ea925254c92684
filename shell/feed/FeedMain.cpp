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
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
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
#include "platform/ProgramPaths.h"
#include "platform/SingleInstance.h"
#include "shell/feed/CameraPreferences.h"
#include "shell/feed/FeedFiles.h"
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
  std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit fails the write (EFBIG) instead of killing the feed
  return stopSignals;
}

bool WaitForStopSignal(const sigset_t& stopSignals, std::chrono::milliseconds wait) {
  timespec timeout{0, static_cast<long>(std::chrono::nanoseconds(wait).count())};
  return sigtimedwait(&stopSignals, nullptr, &timeout) > 0;
}

// The one-line live status, only where somebody watches a terminal. A still picture has no rate
// worth showing: it is sent again every second.
class StatusLine {
 public:
  StatusLine(std::string source, bool still)
      : source_(std::move(source)), still_(still), shown_(isatty(STDOUT_FILENO) == 1) {}
  void Update(const FeedRecorder& recorder) {
    const auto now = Clock::now();
    if (!shown_ || now - last_ < kStatusInterval) return;
    const auto frames = recorder.Frames();
    std::printf("\r%s  %dx%d  frames %llu", source_.c_str(), recorder.Width(), recorder.Height(),
                static_cast<unsigned long long>(frames));
    if (still_) {
      std::printf("  (a still picture, sent again every second)");
    } else {
      const double seconds = std::chrono::duration<double>(now - last_).count();
      const double rate = lastFrames_ <= frames && seconds > 0 ? static_cast<double>(frames - lastFrames_) / seconds : 0;
      std::printf("  %.1f fps   ", rate);
    }
    std::fflush(stdout);
    last_ = now;
    lastFrames_ = frames;
  }
  void End() {
    if (shown_) std::printf("\n");
  }

 private:
  std::string source_;
  bool still_;
  bool shown_;
  Clock::time_point last_ = Clock::now();
  std::uint64_t lastFrames_ = 0;
};

// The warnings the media and recording code would show in a window, kept for the next failure
// text (kalimo-feed has no window).
std::mutex warningLock;
std::string lastWarning;

void KeepWarnings() {
  SetMessagePresenter([](const UserMessage& message) {
    std::lock_guard guard(warningLock);
    lastWarning = message.text;
    return MessageAnswer::Ok;
  });
}

std::string WithLastWarning(const std::string& text) {
  std::lock_guard guard(warningLock);
  return lastWarning.empty() ? text : text + ": " + lastWarning;
}

// Why a video file cannot be fed, in plain words.
std::string VideoFailureText(const media::CMyVideoPlayer& player, const std::string& path) {
  if (const std::string problem = InputFileProblem(path); !problem.empty()) return problem;
  if (!player.MissingPlugin().empty())
    return "GStreamer lacks a plugin for it: " + player.MissingPlugin() +
           " (on Debian it is in one of gstreamer1.0-plugins-good, -bad, -ugly or gstreamer1.0-libav)";
  return "not a media file GStreamer can read";
}

// Why a camera did not start, in plain words.
std::string CameraFailureText(int result, const std::string& wanted, std::size_t cameras) {
  std::string reason;
  if (result == media::kFalse) {
    reason = wanted.find_first_not_of("0123456789") == std::string::npos
                 ? "there is no camera " + wanted + " (" + std::to_string(cameras) + " found)"
                 : "no camera is named \"" + wanted + "\"";
  } else if (result == media::kAccessDenied) {
    reason = "permission denied (is the user in the group video?)";
  } else if (result == media::kTimeout) {
    reason = "it sent no picture within " + std::to_string(media::CCaptureVideo::kStartTimeoutNs / 1000000000) + " s";
  } else if (result == media::kUnsupportedStream) {
    reason = "it offers no picture format this program can read";
  } else {
    reason = "GStreamer could not start it (the log says more with GST_DEBUG=2)";
  }
  return "cannot open the camera " + wanted + ": " + reason + "; see --list-cameras";
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
  if (names.empty()) std::printf("no cameras found\n");
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu\t%s\n", i, names[i].c_str());
  return 0;
}

// How to watch the virtual camera: its plugin lies beside this program in a built tree.
std::string ViewerCommand() {
  const std::filesystem::path folder = platform::ProgramDirectory();
  const std::string pipeline = "gst-launch-1.0 ostrelsrc ! videoconvert ! autovideosink";
  std::error_code error;
  if (std::filesystem::exists(folder / "libgstostrel.so", error)) return "GST_PLUGIN_PATH=" + folder.string() + " " + pipeline;
  return pipeline;
}

// The output files must be writable before anything is fed; a name that does not say what the
// file holds gets a warning. False after the refusal was told.
bool CheckOutputFiles(const FeedOptions& options) {
  struct Output {
    const std::string& path;
    const char* what;
    const char* extension;
    const char* alsoAccepted;
    const char* kind;
  };
  for (const Output& output : {Output{options.recordPath, "the movie", ".avi", "", "an AVI movie"},
                               Output{options.snapshotPath, "the photo", ".jpg", ".jpeg .jpe", "a JPEG picture"}}) {
    if (output.path.empty()) continue;
    if (const std::string problem = OutputFileProblem(output.path); !problem.empty()) {
      Fail("cannot write " + std::string(output.what) + " " + output.path + ": " + problem);
      return false;
    }
    if (const std::string warning = ExtensionWarning(output.path, output.extension, output.alsoAccepted, output.kind);
        !warning.empty()) {
      std::fprintf(stderr, "kalimo-feed: warning: %s\n", warning.c_str());
    }
  }
  return true;
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
      player->SetSoundOutput(options.sound);
      const int result = player->OpenFile(nullptr, options.argument);
      if (media::Failed(result))
        return Fail("cannot play " + options.argument + ": " + VideoFailureText(*player, options.argument));
      recorder.Arm(player->FrameRate());
      label = "video " + std::filesystem::path(options.argument).filename().string();
      break;
    }
    case SourceKind::Camera: {
      media::CSampleGrabberCB::Preview().SetFrameStep(step);
      capture = std::make_unique<media::CCaptureVideo>();
      const int position = CameraPosition(*capture, options.argument);
      const int result = capture->OpenCamera(position, nullptr);
      if (result != media::kOk) {
        std::vector<std::string> names;
        capture->EnumCameras(names);
        return Fail(CameraFailureText(result, options.argument, names.size()));
      }
      const auto largest = media::CSampleGrabberCB::Preview().LargestSize();
      const SettingValues settings = GetCurrentSettings();
      recorder.Arm(capture->FrameRate(),
                   SnapshotSize({settings.frameWidth, settings.frameHeight}, {largest.width, largest.height},
                                {capture->FrameWidth(), capture->FrameHeight()}));
      label = "camera " + options.argument;
      break;
    }
    case SourceKind::Image: {
      if (const std::string problem = InputFileProblem(options.argument); !problem.empty())
        return Fail("cannot read the picture " + options.argument + ": " + problem);
      QImageReader reader(QString::fromStdString(options.argument));
      reader.setAutoTransform(true);
      image = reader.read();
      if (image.isNull()) return Fail("cannot read the picture " + options.argument + ": not a picture Qt can read");
      recorder.Arm(1.0 / std::chrono::duration<double>(kImageInterval).count());
      label = "image " + std::filesystem::path(options.argument).filename().string();
      break;
    }
    case SourceKind::Screen: {
      const char* display = std::getenv("DISPLAY");
      if (!display || !*display) return Fail("cannot capture the screen: DISPLAY is not set (no X display to read)");
      screen = std::make_unique<ScreenSource>(step);
      std::string error;
      if (!screen->Start(error)) return Fail("cannot capture the screen of display " + std::string(display) + ": " + error);
      recorder.Arm(ScreenSource::kFramesPerSecond);
      label = "screen";
      break;
    }
    case SourceKind::ListCameras:
      return ListCameras();
    case SourceKind::None:
    case SourceKind::Help:
      return 0;
  }
  KALIMO_LOG_INFO("feeding the virtual camera from %s", label.c_str());
  std::printf("Feeding the virtual camera from %s; Ctrl-C stops. To see it: %s\n", label.c_str(), ViewerCommand().c_str());
  std::fflush(stdout);

  StatusLine line(label, !image.isNull());
  bool photoTold = false;
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
    if (const std::string failure = recorder.Failure(); !failure.empty()) {
      line.End();
      status = Fail(WithLastWarning(failure));
      break;
    }
    if (!photoTold && recorder.PhotoSaved()) {
      line.End();
      std::printf("photo saved: %s\n", options.snapshotPath.c_str());
      photoTold = true;
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
  const bool written = recorder.Finish();
  if (!written && status == 0) {
    status = Fail(!options.snapshotPath.empty() && !recorder.PhotoSaved()
                      ? "no photo was saved: no picture arrived before the stop"
                      : "the movie " + options.recordPath + " holds no frame: no picture arrived before the stop");
  }
  if (!recorder.MovieSummary().empty()) std::printf("%s\n", recorder.MovieSummary().c_str());
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
    std::fprintf(stderr, "kalimo-feed: %s\n(kalimo-feed --help shows the options)\n", error.c_str());
    return 2;
  }
  if (options->source == feed::SourceKind::Help) {
    std::fputs(feed::kFeedUsage, stdout);
    return 0;
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
  if (!feed::CheckOutputFiles(*options)) return 1;
  feed::KeepWarnings();

  // While it feeds, kalimo-feed is the producer of frames: it serves the endpoint that tells the
  // virtual camera the main program need not be started, and refuses to run beside another one.
  platform::SingleInstanceServer instance;
  int instanceError = 0;
  if (!instance.Start([](const std::string& request) { KALIMO_LOG_INFO("request from another start: %s", request.c_str()); },
                      instanceError)) {
    if (instanceError == EADDRINUSE) return feed::Fail("another Kalimo program is already feeding the virtual camera");
    KALIMO_LOG_ERROR("single-instance endpoint: %s", SystemErrorText(instanceError).c_str());
  }
  const int status = feed::Feed(*options, stopSignals);
  CloseFrameSection(ProcessFrameSectionHandle());
  instance.Stop();
  log::Shutdown();
  return status;
}
