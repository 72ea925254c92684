// How long the virtual camera waits for a picture when one clip ends and the next begins: the
// longest interval between two frames written to the frame section across an end-of-video
// continuation, for the next clip of a group, a repeat of the same clip and the return to the
// idle clip of the seamless mode. 30 fps clips with sound; p95 over 20 switches. The gapless continuation is
// measured against the former design (end the file, then reload it or seek to its start) in the
// same run.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/BenchReport.h"
#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "library/GroupSequencer.h"
#include "media/base/MediaResult.h"
#include "media/player/CMyVideoPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;
using kalimo::media::CMyVideoPlayer;
namespace fs = std::filesystem;

constexpr int kSwitches = 20;
constexpr double kGoalMs = 50.0;
constexpr auto kAfterSwitch = std::chrono::milliseconds(250);
constexpr auto kIdleShown = std::chrono::milliseconds(300);

class SilentWindow : public kalimo::media::VideoWindow {
 public:
  void PreviewFrameArrived() override {}
  void GraphEventsWaiting() override {}
};

class Playback : public kalimo::GroupPlayback {
 public:
  explicit Playback(bool gapless) : gapless_(gapless) { player.SetSoundOutput(false); }
  bool PlayVideoFile(const std::string& path) override { return player.OpenFile(&window_, path) == kalimo::media::kOk; }
  void Close() override { player.Close(); }
  bool SetPosition(kalimo::MediaTime time) override { return player.SetPosition(time); }
  void QueueContinuation(const std::string& path) override {
    if (gapless_) player.SetContinuation(path);
  }
  CMyVideoPlayer player;

 private:
  bool gapless_;
  SilentWindow window_;
};

// Watches the section's write counter and keeps the time of every frame written.
class FrameClock {
 public:
  FrameClock() : thread_([this] { Run(); }) {}
  ~FrameClock() {
    stop_.store(true);
    thread_.join();
  }
  std::vector<Clock::time_point> Times() {
    std::lock_guard guard(lock_);
    return times_;
  }

 private:
  void Run() {
    std::uint64_t last = 0;
    while (!stop_.load()) {
      const unsigned char* view = kalimo::ProcessFrameSectionHandle().view;
      if (view) {
        const std::uint64_t sequence = kalimo::LoadSectionSequence(view);
        if (sequence != last && !(sequence & 1)) {
          last = sequence;
          std::lock_guard guard(lock_);
          times_.push_back(Clock::now());
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
  }
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<Clock::time_point> times_;
  std::thread thread_;
};

// The longest gap between frames around each switch: from half a second before it was reported to a
// quarter of a second after (before the idle run's next start by the user, which is not measured).
std::vector<double> GapsAround(const std::vector<Clock::time_point>& frames,
                               const std::vector<Clock::time_point>& switches) {
  std::vector<double> gaps;
  for (const Clock::time_point at : switches) {
    double longest = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
      if (frames[i] < at - std::chrono::milliseconds(500) || frames[i - 1] > at + kAfterSwitch) continue;
      longest = std::max(longest, std::chrono::duration<double, std::milli>(frames[i] - frames[i - 1]).count());
    }
    gaps.push_back(longest);
  }
  return gaps;
}

double P95(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(0.95 * static_cast<double>(values.size() - 1) + 0.5)];
}

enum class Kind { kNext, kRepeat, kIdleReturn };

// Plays until `kSwitches` continuations of the kind happened; the switch times are when the player
// reported them. False when the run stalled.
bool Measure(Kind kind, bool gapless, const std::vector<std::string>& clips, std::vector<double>& gaps) {
  kalimo::VideoGroupStore groups;
  const std::int32_t mode = kind == Kind::kNext ? kalimo::PlayLoopGroup
                            : kind == Kind::kRepeat ? kalimo::PlayRepeatOne
                                                    : kalimo::PlaySeamless;
  groups.SetGroupMode("bench", mode);
  groups.AddGroupVideo("bench", clips[0]);
  if (kind != Kind::kRepeat) groups.AddGroupVideo("bench", clips[1]);
  if (kind == Kind::kIdleReturn) groups.SetGroupSeamless("bench", clips[0]);
  Playback playback(gapless);
  kalimo::GroupSequencer sequencer(groups, playback);
  sequencer.SetCurrentGroupName("bench");
  FrameClock frames;
  // The seamless return is measured from the action clip back to the idle one.
  if (!sequencer.PlayGroupVideo(kind == Kind::kIdleReturn ? 1 : 0)) return false;
  std::vector<Clock::time_point> switches;
  const auto deadline = Clock::now() + std::chrono::seconds(40 * kSwitches);
  while (static_cast<int>(switches.size()) < kSwitches && Clock::now() < deadline) {
    CMyVideoPlayer::Event event{};
    if (!playback.player.TakeNextEvent(event)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (event == CMyVideoPlayer::Event::Error) return false;
    const bool continued = event == CMyVideoPlayer::Event::Continued;
    if (continued) {
      sequencer.OnContinued(playback.player.CurrentPath());
    } else {
      sequencer.OnVideoEnded();
    }
    switches.push_back(Clock::now());
    if (kind == Kind::kIdleReturn) {
      // Back on the idle clip: let it show a moment, then start the action clip again (a start
      // the user makes, not a continuation, so not measured).
      std::this_thread::sleep_for(kIdleShown);
      if (!sequencer.PlayGroupVideo(1)) return false;
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  playback.player.Close();
  gaps = GapsAround(frames.Times(), switches);
  return static_cast<int>(gaps.size()) == kSwitches;
}

void ReportKind(const char* name, double gapless, double reload) {
  std::printf(
      "{\"figure\": \"longest frame gap at a continuation, %s (p95 of %d)\", \"unit\": \"ms\", \"value\": %.4f, "
      "\"baseline\": %.4f, \"goal_ratio\": 0, \"lower_is_better\": true, \"goal\": \"<= %.0f ms\", \"met\": %s, "
      "\"ratio\": %.4f}\n",
      name, kSwitches, gapless, reload, kGoalMs, gapless <= kGoalMs ? "true" : "false", gapless / reload);
  std::fflush(stdout);
}

}  // namespace

int main() {
  const fs::path folder = fs::temp_directory_path() / ("kalimo-continuation-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string section = "/kalimo-continuation-bench-" + std::to_string(getpid());
  setenv("KALIMO_SECTION", section.c_str(), 1);
  std::vector<std::string> clips;
  for (const char* colour : {"red", "blue"}) {
    const fs::path path = folder / (std::string(colour) + ".mp4");
    // Clips with sound, as users' own: a file with both streams switches differently from a silent one.
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=" + std::string(colour) +
                                ":size=640x480:rate=30:duration=1.5 -f lavfi -i sine=frequency=440:duration=1.5 "
                                "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest '" +
                                path.string() + "'";
    if (std::system(command.c_str()) != 0) return 1;
    clips.push_back(path.string());
  }
  int status = 0;
  const std::pair<Kind, const char*> kinds[] = {
      {Kind::kNext, "next clip"},
      {Kind::kRepeat, "repeat of the same clip"},
      {Kind::kIdleReturn, "return to the idle clip"}};
  for (const auto& [kind, name] : kinds) {
    std::vector<double> gapless;
    std::vector<double> reload;
    if (!Measure(kind, true, clips, gapless) || !Measure(kind, false, clips, reload)) {
      std::fprintf(stderr, "%s: the run stalled\n", name);
      status = 1;
      continue;
    }
    ReportKind(name, P95(gapless), P95(reload));
  }
  kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle());
  fs::remove_all(folder);
  return status;
}
