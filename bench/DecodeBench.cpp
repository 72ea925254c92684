// Decoding a 1920x1080 30 fps H.264 file into the frame section through the video player: how many
// times real time it runs unpaced, and how much of a core it takes when paced at real time.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <gst/gst.h>

#include "bench/BenchReport.h"
#include "common/ApplyDataToOstrel.h"
#include "media/player/CMyVideoPlayer.h"

using namespace kalimo;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kClipSeconds = 10.0;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  std::uint64_t frames = 0;
  bool ok = false;
};

Run Play(const std::string& clip, bool paced) {
  Run run;
  media::CMyVideoPlayer player;
  if (player.LoadFile(clip, nullptr, true, true) != 0) return run;
  player.Pause();
  player.SetPosition(MediaTime::zero());
  player.SetFramePacing(paced);
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  player.Run();
  media::CMyVideoPlayer::Event event{};
  while (Clock::now() - start < std::chrono::seconds(60)) {
    if (player.TakeNextEvent(event)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpuSeconds = CpuSeconds() - cpuStart;
  run.frames = player.FramesDelivered();
  run.ok = event == media::CMyVideoPlayer::Event::EndOfStream;
  player.Close();
  return run;
}

}  // namespace

int main() {
  gst_init(nullptr, nullptr);
  char folderTemplate[] = "/tmp/kalimo-bench-decode-XXXXXX";
  if (!mkdtemp(folderTemplate)) return 1;
  const std::filesystem::path folder(folderTemplate);
  const std::string clip = (folder / "clip-1080p30.mp4").string();
  const std::string make = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=" +
                           std::to_string(static_cast<int>(kClipSeconds)) +
                           " -c:v libx264 -preset veryfast -pix_fmt yuv420p '" + clip + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "cannot make the test clip with ffmpeg\n");
    return 1;
  }
  const std::string section = "/kalimo-bench-decode-" + std::to_string(getpid());
  setenv("KALIMO_SECTION", section.c_str(), 1);

  const Run unpaced = Play(clip, false);
  const Run paced = Play(clip, true);
  std::fprintf(stderr, "unpaced: %.2f s, %llu frames, ok=%d; paced: %.2f s, cpu %.2f s, %llu frames, ok=%d\n",
               unpaced.wallSeconds, static_cast<unsigned long long>(unpaced.frames), unpaced.ok, paced.wallSeconds,
               paced.cpuSeconds, static_cast<unsigned long long>(paced.frames), paced.ok);

  const double speed = unpaced.ok ? kClipSeconds / unpaced.wallSeconds : 0;
  bench::Report("1080p30 H.264 into the section, unpaced", "x real time", speed, 1.0, 2.0, false, ">= 2 x real time");
  const double cores = paced.ok ? paced.cpuSeconds / paced.wallSeconds : 99;
  bench::Report("1080p30 H.264 into the section, paced: CPU", "cores", cores, 1.0, 1.0, true, "<= 1 core");

  CloseFrameSection(ProcessFrameSectionHandle());
  std::filesystem::remove_all(folder);
  return 0;
}
