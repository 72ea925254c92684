// The group sequencing driven against a real player on generated clips of flat colours: which clip
// the virtual camera shows (read from the frame section) tells which video plays.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>
#include <map>
#include <set>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "library/GroupSequencer.h"
#include "media/base/MediaResult.h"
#include "media/player/CMyVideoPlayer.h"
#include "tests/support/MediaTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

using media::CMyVideoPlayer;

// The video window's side: the real player, counting the loads (a repeat must not reload).
class PlayerPlayback : public GroupPlayback {
 public:
  bool PlayVideoFile(const std::string& path) override {
    ++loads;
    if (path.empty()) return false;
    return player.OpenFile(&window, path) == media::kOk;
  }
  void Close() override { player.Close(); }
  bool SetPosition(MediaTime time) override { return player.SetPosition(time); }
  // Without continuations the player ends each file and the rule reloads (the former design).
  void QueueContinuation(const std::string& path) override {
    if (gapless) player.SetContinuation(path);
  }
  bool gapless = false;

  test::CountingVideoWindow window;
  CMyVideoPlayer player;
  int loads = 0;
};

// The tree's markers: the set of marked positions of each group.
class RecordedMarkers : public GroupMarkers {
 public:
  void SetVideoMarker(const std::string& group, std::int32_t position, bool playing) override {
    if (playing) {
      marked[group].insert(position);
    } else {
      marked[group].erase(position);
    }
  }
  std::map<std::string, std::set<std::int32_t>> marked;
};

// Named colours of the clips, as the section's centre pixel shows them (B, G, R).
struct Colour {
  const char* name;
  unsigned char b, g, r;
};
constexpr Colour kRed{"red", 0, 0, 255};
constexpr Colour kGreen{"green", 0, 128, 0};
constexpr Colour kBlue{"blue", 255, 0, 0};
constexpr Colour kYellow{"yellow", 0, 255, 255};

class GroupSequencerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const Colour& colour : {kRed, kGreen, kBlue, kYellow}) clips[colour.name] = MakeClip(colour.name);
    broken = folder.Path() / "broken.avi";
    std::ofstream(broken) << "not a video";
  }
  void TearDown() override {
    playback.player.Close();
    // The next test writes to a section of its own name.
    CloseFrameSection(ProcessFrameSectionHandle());
  }

  // 1 s of one flat colour at 30 frames a second, small and quick to decode. The clips have sound
  // (H.264 and AAC, as users' own videos), but for yellow, which keeps a file without sound in use.
  std::string MakeClip(const std::string& colour) const {
    const bool sound = colour != kYellow.name;
    const auto path = folder.Path() / (colour + (sound ? ".mp4" : ".avi"));
    const std::string picture = "-f lavfi -i color=c=" + colour + ":size=64x48:rate=30:duration=1 ";
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y " + picture +
        (sound ? "-f lavfi -i sine=frequency=440:duration=1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p "
                 "-c:a aac -shortest '"
               : "-c:v mjpeg -pix_fmt yuvj420p '") +
        path.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return path.string();
  }

  void AddGroup(const std::string& name, std::int32_t mode, const std::vector<std::string>& videos) {
    groups.AddGroupVideo(name, "");
    groups.SetGroupMode(name, mode);
    for (const auto& video : videos) groups.AddGroupVideo(name, video);
  }

  // The colour the camera shows now, or null when it is none of the clips' colours.
  const Colour* ShownColour() const {
    const auto bytes = section.ReadAll();
    if (bytes.size() < static_cast<std::size_t>(kSectionObjectSize)) return nullptr;  // nothing written yet
    const FrameSectionHeader header = LoadSectionHeader(bytes.data());
    if (header.width != 64 || header.height != 48) return nullptr;
    const unsigned char* pixel = bytes.data() + kSectionHeaderSize + 24 * DibStride(64) + 32 * 3;
    for (const Colour* colour : {&kRed, &kGreen, &kBlue, &kYellow}) {
      if (std::abs(pixel[0] - colour->b) < 40 && std::abs(pixel[1] - colour->g) < 40 &&
          std::abs(pixel[2] - colour->r) < 40) {
        return colour;
      }
    }
    return nullptr;
  }
  bool Shows(const Colour& colour) const {
    if (test::WaitFor([&] { return ShownColour() == &colour; })) return true;
    const auto bytes = section.ReadAll();
    if (bytes.size() < static_cast<std::size_t>(kSectionObjectSize)) {
      ADD_FAILURE() << "nothing written";
    } else {
      const FrameSectionHeader header = LoadSectionHeader(bytes.data());
      const unsigned char* pixel = bytes.data() + kSectionHeaderSize + 24 * DibStride(64) + 32 * 3;
      ADD_FAILURE() << "shows " << header.width << "x" << header.height << " BGR " << int(pixel[0]) << ","
                    << int(pixel[1]) << "," << int(pixel[2]) << ", not " << colour.name;
    }
    return false;
  }
  std::uint64_t FramesWritten() const {
    const auto bytes = section.ReadAll();
    return bytes.size() < static_cast<std::size_t>(kSectionObjectSize) ? 0 : LoadSectionSequence(bytes.data()) / 2;
  }
  // New frames arrive: after an end, proof that something plays again (a repeat shows the same
  // colour as before).
  bool FramesFlowAfter(std::uint64_t written) const {
    return test::WaitFor([&] { return FramesWritten() > written + 2; });
  }

  // Waits for the playing video's end and applies the end-of-video rule to it. Meanwhile it asks the
  // player what the control bar's tick asks, as the user-interface thread does during a switch.
  bool EndOfVideo() {
    if (!test::WaitFor([&] {
          MediaTime value{};
          long volume = 0;
          playback.player.GetDuration(value);
          playback.player.GetCurrentPosition(value);
          playback.player.GetVolume(volume);
          return playback.window.eventNotices.load() > handledNotices;
        })) {
      return false;
    }
    handledNotices = playback.window.eventNotices.load();
    CMyVideoPlayer::Event event{};
    bool ended = false;
    while (playback.player.TakeNextEvent(event)) {
      if (event == CMyVideoPlayer::Event::EndOfStream) {
        sequencer.OnVideoEnded();
      } else if (event == CMyVideoPlayer::Event::Continued) {
        sequencer.OnContinued(playback.player.CurrentPath());
      } else {
        sequencer.OnContinuationFailed();
      }
      ended = true;
    }
    return ended;
  }

  test::TempDir folder;
  test::TestSection section;
  std::map<std::string, std::string> clips;
  std::filesystem::path broken;
  VideoGroupStore groups;
  PlayerPlayback playback;
  RecordedMarkers markers;
  GroupSequencer sequencer{groups, playback, &markers};
  int handledNotices = 0;
};

// What follows the ends of videos, per mode: start at `start`, then after each end the camera
// shows the next colour of `then`, with or without a reload.
struct EndCase {
  const char* label;
  std::int32_t mode;
  std::vector<const Colour*> videos;
  const Colour* seamless;  // the idle video, or null
  std::int32_t start;
  std::vector<const Colour*> then;
  std::vector<bool> reloads;
  std::int32_t finalIndex;
};

// Each case runs twice: ending and reloading each file, and going on without stopping (gapless),
// which never reloads.
class EndOfVideoTable : public GroupSequencerTest,
                        public ::testing::WithParamInterface<std::tuple<EndCase, bool>> {};

TEST_P(EndOfVideoTable, NextVideoMarkerAndReloads) {
  const EndCase& c = std::get<0>(GetParam());
  playback.gapless = std::get<1>(GetParam());
  std::vector<std::string> paths;
  for (const Colour* colour : c.videos) paths.push_back(clips[colour->name]);
  AddGroup("clips", c.mode, paths);
  if (c.seamless) groups.SetGroupSeamless("clips", clips[c.seamless->name]);
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(c.start));
  ASSERT_TRUE(Shows(*c.videos[c.start]));
  for (std::size_t step = 0; step < c.then.size(); ++step) {
    const int loadsBefore = playback.loads;
    ASSERT_TRUE(EndOfVideo()) << "end " << step;
    ASSERT_TRUE(FramesFlowAfter(FramesWritten())) << "end " << step;
    ASSERT_TRUE(Shows(*c.then[step])) << "end " << step << " should show " << c.then[step]->name;
    EXPECT_EQ(playback.loads > loadsBefore, c.reloads[step] && !playback.gapless) << "end " << step;
  }
  EXPECT_EQ(sequencer.CurrentIndex(), c.finalIndex);
  EXPECT_EQ(markers.marked["clips"], std::set<std::int32_t>{c.finalIndex});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, EndOfVideoTable,
    ::testing::Combine(::testing::Values(
        // From the last of three back to the first, the marker moving with it.
        EndCase{"LoopGroupWraps", PlayLoopGroup, {&kRed, &kGreen, &kBlue}, nullptr, 2, {&kRed, &kGreen}, {true, true}, 1},
        // Twice through a group of clips with sound.
        EndCase{"LoopGroupTwice", PlayLoopGroup, {&kRed, &kGreen, &kBlue}, nullptr, 0,
                {&kGreen, &kBlue, &kRed, &kGreen, &kBlue, &kRed}, {true, true, true, true, true, true}, 0},
        // A group of one repeats by seeking, without loading the file again.
        EndCase{"LoopGroupOfOne", PlayLoopGroup, {&kYellow}, nullptr, 0, {&kYellow, &kYellow}, {false, false}, 0},
        EndCase{"RepeatOne", PlayRepeatOne, {&kRed, &kGreen, &kBlue}, nullptr, 1, {&kGreen, &kGreen, &kGreen},
                {false, false, false}, 1},
        // The idle video follows any other, and then repeats itself by seeking.
        EndCase{"SeamlessReturnsToIdle", PlaySeamless, {&kRed, &kGreen, &kBlue}, &kRed, 2, {&kRed, &kRed, &kRed},
                {true, false, false}, 0}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<EndCase, bool>>& param) {
      return std::string(std::get<0>(param.param).label) + (std::get<1>(param.param) ? "Gapless" : "Reloading");
    });

TEST_F(GroupSequencerTest, PlayOnceStopsOnTheLastFrameAndKeepsTheMarker) {
  AddGroup("clips", PlayOnce, {clips["red"], clips["green"]});
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(0));
  ASSERT_TRUE(Shows(kRed));
  ASSERT_TRUE(EndOfVideo());
  EXPECT_EQ(playback.loads, 1);
  EXPECT_TRUE(playback.player.IsLoaded());
  EXPECT_EQ(ShownColour(), &kRed);
  EXPECT_EQ(sequencer.CurrentIndex(), 0);
  EXPECT_EQ(markers.marked["clips"], std::set<std::int32_t>{0});
}

TEST_F(GroupSequencerTest, SeamlessWhoseIdleVideoLeftTheGroupEndsThere) {
  AddGroup("clips", PlaySeamless, {clips["red"], clips["green"]});
  groups.SetGroupSeamless("clips", clips["blue"]);
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(1));
  ASSERT_TRUE(EndOfVideo());
  EXPECT_EQ(playback.loads, 1);
  EXPECT_EQ(ShownColour(), &kGreen);
}

TEST_F(GroupSequencerTest, UnplayableVideoFallsBackAlongTheModeAndIsTriedOnce) {
  AddGroup("clips", PlayLoopGroup, {clips["red"], broken.string(), clips["blue"]});
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(1));
  ASSERT_TRUE(Shows(kBlue));
  EXPECT_EQ(playback.loads, 2);
  EXPECT_EQ(sequencer.CurrentIndex(), 2);

  // In PlayRepeatOne the fallback is the video last started; once that file is gone too, a
  // request beyond the end (which means the first video, the playing one) is tried once only.
  groups.SetGroupMode("clips", PlayRepeatOne);
  playback.loads = 0;
  EXPECT_TRUE(sequencer.PlayGroupVideo(1));
  EXPECT_EQ(playback.loads, 2);
  EXPECT_EQ(sequencer.CurrentIndex(), 2);
  AddGroup("single", PlayRepeatOne, {clips["red"]});
  sequencer.SetCurrentGroupName("single");
  ASSERT_TRUE(sequencer.PlayGroupVideo(0));
  std::filesystem::remove(clips["red"]);
  playback.loads = 0;
  EXPECT_FALSE(sequencer.PlayGroupVideo(5));
  EXPECT_EQ(playback.loads, 1);
  EXPECT_FALSE(playback.player.IsLoaded());
  EXPECT_EQ(sequencer.CurrentIndex(), 0);

  // A group where nothing plays: each position once, around the loop, then it stops.
  AddGroup("broken", PlayLoopGroup, {broken.string(), broken.string(), broken.string()});
  sequencer.SetCurrentGroupName("broken");
  playback.loads = 0;
  EXPECT_FALSE(sequencer.PlayGroupVideo(2));
  EXPECT_EQ(playback.loads, 3);
}

TEST_F(GroupSequencerTest, RequestOutsideTheGroupStartsAndRecordsTheFirstVideo) {
  AddGroup("clips", PlayRepeatOne, {clips["red"], clips["green"]});
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(-1));
  ASSERT_TRUE(Shows(kRed));
  EXPECT_EQ(sequencer.CurrentIndex(), 0);
  EXPECT_EQ(markers.marked["clips"], std::set<std::int32_t>{0});
  ASSERT_TRUE(EndOfVideo());
  EXPECT_EQ(playback.loads, 1);  // repeated by seeking: the recorded position is a real one
}

TEST_F(GroupSequencerTest, VideoOfAnotherGroupMakesItCurrentAndMovesTheMarker) {
  AddGroup("first", PlayLoopGroup, {clips["red"], clips["green"]});
  AddGroup("second", PlayLoopGroup, {clips["blue"], clips["yellow"]});
  sequencer.SetCurrentGroupName("first");
  ASSERT_TRUE(sequencer.PlayGroupVideo(1));
  ASSERT_TRUE(Shows(kGreen));

  ASSERT_TRUE(sequencer.PlayGroupVideoOf("second", 1));
  ASSERT_TRUE(Shows(kYellow));
  EXPECT_EQ(sequencer.CurrentGroupName(), "second");
  EXPECT_EQ(sequencer.MarkedGroupName(), "second");
  EXPECT_TRUE(markers.marked["first"].empty());
  EXPECT_EQ(markers.marked["second"], std::set<std::int32_t>{1});
  // The loop continues in the new group.
  ASSERT_TRUE(EndOfVideo());
  ASSERT_TRUE(Shows(kBlue));

  // Renaming the playing group keeps it playing and its marker where it is.
  groups.RenameGroup("second", "renamed");
  sequencer.OnGroupRenamed("second", "renamed");
  ASSERT_TRUE(EndOfVideo());
  ASSERT_TRUE(Shows(kYellow));
  EXPECT_EQ(markers.marked["renamed"], std::set<std::int32_t>{1});
}

TEST_F(GroupSequencerTest, BookmarkAsksOnlyForAnotherVideoAndSeeks) {
  AddGroup("clips", PlayOnce, {clips["red"], clips["green"]});
  sequencer.SetCurrentGroupName("clips");
  ASSERT_TRUE(sequencer.PlayGroupVideo(0));
  int questions = 0;
  EXPECT_TRUE(sequencer.TriggerBookmark("clips", 0, 0, [&] { ++questions; return true; }));
  EXPECT_EQ(questions, 0);
  EXPECT_EQ(playback.loads, 1);
  // Declined: nothing changes.
  EXPECT_FALSE(sequencer.TriggerBookmark("clips", 1, 0, [&] { ++questions; return false; }));
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(sequencer.CurrentIndex(), 0);
  EXPECT_EQ(playback.loads, 1);
  EXPECT_TRUE(sequencer.TriggerBookmark("clips", 1, 0, [&] { ++questions; return true; }));
  EXPECT_TRUE(Shows(kGreen));
  EXPECT_EQ(sequencer.CurrentIndex(), 1);
}

TEST(GroupSequencerRules, NextIndexAndSeamlessPositionWithoutPlaying) {
  struct NoPlayback : GroupPlayback {
    bool PlayVideoFile(const std::string&) override { return true; }
    void Close() override {}
    bool SetPosition(MediaTime) override { return true; }
  } playback;
  VideoGroupStore groups;
  GroupSequencer sequencer(groups, playback);
  EXPECT_EQ(sequencer.NextGroupIndex(0), -1);  // no such group
  groups.AddGroupVideo("g", "/v/a.avi");
  groups.AddGroupVideo("g", "/v/b.avi");
  groups.AddGroupVideo("g", "/v/a.avi");
  sequencer.SetCurrentGroupName("g");
  groups.SetGroupMode("g", PlayLoopGroup);
  EXPECT_EQ(sequencer.NextGroupIndex(0), 1);
  EXPECT_EQ(sequencer.NextGroupIndex(2), 0);
  EXPECT_EQ(sequencer.NextGroupIndex(-2), 0);  // compared unsigned
  groups.SetGroupMode("g", 7);
  EXPECT_EQ(sequencer.NextGroupIndex(1), 1);
  groups.SetGroupMode("g", PlaySeamless);
  EXPECT_EQ(sequencer.NextGroupIndex(0), -1);
  groups.SetGroupSeamless("g", "/v/a.avi");
  EXPECT_EQ(sequencer.NextGroupIndex(1), 0);
  // The same path twice: the first occurrence is the idle one.
  EXPECT_TRUE(sequencer.IsSeamlessPosition("g", 0));
  EXPECT_FALSE(sequencer.IsSeamlessPosition("g", 2));
  EXPECT_FALSE(sequencer.IsSeamlessPosition("other", 0));
}

}  // namespace
}  // namespace kalimo
