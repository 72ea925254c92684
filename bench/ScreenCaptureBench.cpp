// CPU of a whole-screen capture feeding the camera: a private 1920 × 1080 Xvfb, the built
// screen-capture component at 15 fps, each frame through the screen window into the frame section
// (as the screen tab does). Reports the cores this process used (the X server's own work is not
// counted: on a real desktop it is the display server's anyway).
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "windows/screen/CWindowPlayingCaptureScreen.h"
#include "windows/screen/ScreenCaptureModule.h"

namespace {

constexpr double kGoalCores = 0.5;
constexpr int kMeasuredMilliseconds = 10000;

CWindowPlayingCaptureScreen* screenWindow = nullptr;
std::atomic<int> frames{0};

int FeedCamera(const void* frame) {
  if (!frame) return 0;
  screenWindow->ShowCapturedFrame(frame);
  ++frames;
  return 1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Starts Xvfb on a free display and points DISPLAY at it; returns its process id (0 on failure).
pid_t StartXvfb() {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return 0;
  const pid_t server = fork();
  if (server == 0) {
    close(pipeEnds[0]);
    const std::string fd = std::to_string(pipeEnds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string number;
  char c;
  while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipeEnds[0]);
  if (number.empty()) return 0;
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return server;
}

}  // namespace

int main(int argc, char** argv) {
  const pid_t server = StartXvfb();
  if (!server) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  char section[64];
  std::snprintf(section, sizeof section, "/kalimo-bench-screen-%d", static_cast<int>(getpid()));
  setenv("KALIMO_SECTION", section, 1);
  int status = 1;
  {
    QApplication application(argc, argv);
    CWindowPlayingCaptureScreen window(nullptr);
    window.setGeometry(1590, 830, 320, 240);
    window.show();
    window.SetCapturing(true);
    screenWindow = &window;
    kalimo::ScreenCaptureModule::SetFileName(KALIMO_OUTPUT_DIR "/libScreenCapture.so");
    kalimo::ScreenCaptureModule module;
    if (module.Load()) {
      QObject notified;
      module.Start(&FeedCamera, 2, 0, &notified);
      QElapsedTimer settle;
      settle.start();
      while (frames < 15 && settle.elapsed() < 30000) QTest::qWait(50);  // running steadily
      const int firstFrame = frames;
      const double cpuBefore = CpuSeconds();
      QElapsedTimer wall;
      wall.start();
      QTest::qWait(kMeasuredMilliseconds);
      const double cores = (CpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);
      const double fps = (frames - firstFrame) / (static_cast<double>(wall.elapsed()) / 1000.0);
      module.Free();
      std::printf("{\"figure\": \"screen capture 1920x1080 feeding the camera (%.1f fps)\", \"unit\": \"cores\", "
                  "\"value\": %.4f, \"baseline\": %.1f, \"goal_ratio\": 0, \"lower_is_better\": true, "
                  "\"goal\": \"<= 0.5 core\", \"met\": %s, \"ratio\": %.4f}\n",
                  fps, cores, kGoalCores, cores <= kGoalCores && fps >= 14.0 ? "true" : "false", cores / kGoalCores);
      status = 0;
    }
    screenWindow = nullptr;
  }
  shm_unlink(section);
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return status;
}
