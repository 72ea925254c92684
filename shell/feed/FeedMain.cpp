// kalimo-feed: feeds the virtual camera from a video file, a camera, a picture or the screen,
// without windows — for scripts, servers, and until the main window exists.
//
//   kalimo-feed --loop "video/示例影音文件(使用时可以删除).avi"
//   kalimo-feed --camera 0 --record movie.avi
//
// Ctrl-C (SIGINT) or SIGTERM stops it cleanly: the recording is finished, the frame section is
// removed and the log flushed.
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/ApplyDataToOstrel.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "library/settings/SettingParams.h"
#include "media/sources/CameraSource.h"
#include "media/sources/ImageSource.h"
#include "media/sources/ScreenSource.h"
#include "media/sources/VideoFileSource.h"
#include "platform/ProgramPaths.h"
#include "platform/SingleInstance.h"
#include "shell/feed/CameraPreferences.h"
#include "shell/feed/FeedFiles.h"
#include "shell/feed/FeedOptions.h"
#include "shell/feed/FeedRecorder.h"

namespace kalimo::feed {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStatusInterval = std::chrono::milliseconds(500);

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

int ListCameras() {
  const std::vector<std::string> names = media::CameraSource::List(CameraName());
  if (names.empty()) std::printf("no cameras found\n");
  for (std::size_t i = 0; i < names.size(); ++i) std::printf("%zu\t%s\n", i, names[i].c_str());
  return 0;
}

// The source the options name.
std::unique_ptr<media::FrameSource> MakeSource(const FeedOptions& options) {
  switch (options.source) {
    case SourceKind::Video: return std::make_unique<media::VideoFileSource>(options.argument, options.loop, options.sound);
    case SourceKind::Camera: return std::make_unique<media::CameraSource>(options.argument, CameraName());
    case SourceKind::Image: return std::make_unique<media::ImageSource>(options.argument);
    case SourceKind::Screen: return std::make_unique<media::ScreenSource>();
    default: return nullptr;
  }
}

// The first words of a failure to start each kind of source.
std::string StartFailureText(const FeedOptions& options, const std::string& error) {
  switch (options.source) {
    case SourceKind::Video: return "cannot play " + options.argument + ": " + error;
    case SourceKind::Camera: return error + "; see --list-cameras";
    case SourceKind::Image: return "cannot read the picture " + options.argument + ": " + error;
    case SourceKind::Screen: return "cannot capture the screen: " + error;
    default: return error;
  }
}

// How to watch the virtual camera: its plugin lies beside this program in a built tree.
std::string ViewerCommand() {
  const std::filesystem::path folder = platform::ProgramDirectory();
  const std::string pipeline = "gst-launch-1.0 ostrelsrc ! videoconvert ! ximagesink";
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
    std::error_code ignored;
    if (std::filesystem::is_character_file(output.path, ignored)) continue;  // a device has no name to match
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
  const std::unique_ptr<media::FrameSource> source = MakeSource(options);
  if (!source) return 0;
  std::string error;
  if (!source->Start([&recorder](const FrameView& frame) { recorder.OnFrame(frame); }, error)) {
    return Fail(StartFailureText(options, error));
  }
  if (const auto* camera = dynamic_cast<const media::CameraSource*>(source.get())) {
    // A camera's photo gets the photo size, unless the camera's largest format is smaller.
    const SettingValues settings = GetCurrentSettings();
    recorder.Arm(camera->FrameRate(),
                 SnapshotSize({settings.frameWidth, settings.frameHeight}, camera->LargestSize(), camera->Size()));
  } else {
    recorder.Arm(source->FrameRate());
  }
  const std::string label = source->Label();
  int status = 0;
  KALIMO_LOG_INFO("feeding the virtual camera from %s", label.c_str());
  std::printf("Feeding the virtual camera from %s; Ctrl-C stops. To see it: %s\n", label.c_str(), ViewerCommand().c_str());
  std::fflush(stdout);

  StatusLine line(label, options.source == SourceKind::Image);
  bool photoTold = false;
  for (;;) {
    if (WaitForStopSignal(stopSignals, std::chrono::milliseconds(100))) break;
    if (std::string ended; !source->Poll(ended)) {
      if (!ended.empty()) status = Fail(ended);
      break;
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
  source->Stop();
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
  if (options->keepAspect) {
    if (!feed::StoreCameraKeepAspect(*options->keepAspect, error)) return feed::Fail(error);
    std::printf("The virtual camera now %s.\n", *options->keepAspect
                                                   ? "shows pictures of another shape whole, with black bands"
                                                   : "stretches pictures of another shape (default)");
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
