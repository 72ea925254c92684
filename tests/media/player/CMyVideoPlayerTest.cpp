#include "media/player/CMyVideoPlayer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "common/Messages.h"
#include "media/base/MediaResult.h"
#include "media/player/SoundOutput.h"
#include "tests/support/MediaTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestSection.h"

namespace kalimo::media {
namespace {

using namespace std::chrono_literals;
using test::WaitFor;

constexpr MediaTime kSecond = std::chrono::seconds(1);

class VideoPlayerTest : public ::testing::Test {
 protected:
  ~VideoPlayerTest() override {
    player.Close();
    CloseFrameSection(ProcessFrameSectionHandle());
  }
  // A copy of a generated file under a folder and name with spaces and non-ASCII characters.
  std::string Copy(const std::string& name) {
    const auto folder = temp / "视频 文件夹";
    std::filesystem::create_directories(folder);
    const auto target = folder / ("样本 (1) " + name);
    std::filesystem::copy_file(test::TestMedia(name), target, std::filesystem::copy_options::overwrite_existing);
    return target.string();
  }
  bool WaitForFrames(std::uint64_t count) {
    return WaitFor([&] { return player.FramesDelivered() >= count; });
  }

  test::TestSection section;
  test::LogCapture log;
  test::TempDir temp;
  test::CountingVideoWindow window;
  CMyVideoPlayer player;
};

struct PlayCase {
  const char* file;
  int width;
  int height;
  bool sound;
};

void PrintTo(const PlayCase& c, std::ostream* out) { *out << c.file; }

class PlaysEachKindOfFile : public VideoPlayerTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlaysEachKindOfFile, FramesReachTheSectionAtTheFilesSizeAndTheEndIsNoticedOnce) {
  const PlayCase c = GetParam();
  ASSERT_EQ(player.OpenFile(&window, Copy(c.file)), kOk);
  EXPECT_EQ(player.NativeWidth(), c.width);
  EXPECT_EQ(player.NativeHeight(), c.height);
  long volume = 0;
  EXPECT_EQ(player.GetVolume(volume), c.sound);
  ASSERT_TRUE(WaitForFrames(3));

  const auto header = section.Header();
  const std::int32_t frameBytes = static_cast<std::int32_t>(DibStride(c.width) * c.height);
  EXPECT_EQ(header.width, c.width);
  EXPECT_EQ(header.height, c.height);
  EXPECT_EQ(header.byteCount, frameBytes);

  // The picture has a red band along its top: the preview holds it top-down (first row red), the
  // section bottom-up (last row red, first row not).
  FrameView preview;
  std::vector<unsigned char> topRow;
  ASSERT_TRUE(player.ReadPreviewFrame([&](const FrameView& frame) {
    preview = frame;
    topRow.assign(frame.bits, frame.bits + frame.width * 3);
  }));
  EXPECT_EQ(preview.width, c.width);
  EXPECT_EQ(preview.stride, DibStride(c.width));
  auto isRed = [](const unsigned char* pixel) { return pixel[0] < 80 && pixel[1] < 80 && pixel[2] > 180; };
  const auto bytes = section.ReadAll();
  const unsigned char* sectionTop = bytes.data() + kSectionHeaderSize + (c.height - 1) * DibStride(c.width);
  const unsigned char* sectionBottom = bytes.data() + kSectionHeaderSize;
  const std::size_t middle = static_cast<std::size_t>(c.width / 2) * 3;
  EXPECT_TRUE(isRed(topRow.data() + middle));
  EXPECT_TRUE(isRed(sectionTop + middle));
  EXPECT_FALSE(isRed(sectionBottom + middle));

  ASSERT_TRUE(WaitFor([&] { return window.eventNotices.load() > 0; }));
  CMyVideoPlayer::Event event{};
  ASSERT_TRUE(player.TakeNextEvent(event));
  EXPECT_EQ(event, CMyVideoPlayer::Event::EndOfStream);
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(player.TakeNextEvent(event));
  EXPECT_EQ(window.eventNotices.load(), 1);
  EXPECT_EQ(log.Count("grabber sample width = " + std::to_string(c.width) + ",height=" + std::to_string(c.height) +
                      ",buffersize = " + std::to_string(frameBytes)),
            1);
}

INSTANTIATE_TEST_SUITE_P(Files, PlaysEachKindOfFile,
                         ::testing::Values(PlayCase{"picture-sound.avi", 320, 240, true},
                                           PlayCase{"picture-sound.webm", 320, 240, true},
                                           PlayCase{"video-only-642x480.mp4", 642, 480, false}),
                         [](const auto& testInfo) { return std::to_string(testInfo.index); });

TEST_F(VideoPlayerTest, FrameLengthIsLoggedOncePerChangeNotPerFrame) {
  for (const char* file : {"picture-sound.avi", "video-only-642x480.mp4", "picture-sound.webm"}) {
    ASSERT_EQ(player.OpenFile(&window, test::TestMedia(file).string()), kOk) << file;
    ASSERT_TRUE(WaitForFrames(5)) << file;
  }
  EXPECT_EQ(log.Count("grabber sample width = 320,height=240,buffersize = 230400"), 2);
  EXPECT_EQ(log.Count("grabber sample width = 642,height=480,buffersize = 925440"), 1);
  for (const auto& record : log.Records()) {
    if (record.message.rfind("grabber sample", 0) != 0) continue;
    EXPECT_EQ(record.level, 20000);
    EXPECT_EQ(record.source, "CMyVideoPlayer");
  }
}

TEST_F(VideoPlayerTest, TapDropsFramesOfAnotherLength) {
  FrameTap tap{"media/player/CMyVideoPlayer.cpp"};  // as the player's own, which logs the sizes
  std::vector<unsigned char> rows(24, 7);
  EXPECT_EQ(tap.BufferCB(0, FrameView{rows.data(), 4, 2, 12, 23}), 0);  // DIB stride 12: 24 bytes
  EXPECT_EQ(tap.BufferCB(0, FrameView{rows.data(), 4, 2, 16, 24}), 0);  // its rows end 4 bytes past it
  EXPECT_FALSE(section.Exists());
  tap.BufferCB(0, FrameView{rows.data(), 4, 2, 12, 24});
  EXPECT_EQ(section.Header().byteCount, 24);
  EXPECT_EQ(log.Count("grabber sample width = 4,height=2,buffersize = 24"), 1);
}

TEST_F(VideoPlayerTest, LoadWithoutTheTapShowsPicturesButWritesNothing) {
  ASSERT_EQ(player.LoadFile(test::TestMedia("picture-sound.avi").string(), &window, false, false), kOk);
  ASSERT_TRUE(WaitForFrames(5));
  EXPECT_GT(window.previews.load(), 0);
  EXPECT_TRUE(player.ReadPreviewFrame([](const FrameView&) {}));
  EXPECT_FALSE(section.Exists());
}

TEST_F(VideoPlayerTest, SeeksAndSkipsInHundredNanosecondUnits) {
  ASSERT_EQ(player.OpenFile(&window, test::TestMedia("long-320x240.avi").string()), kOk);
  MediaTime duration{};
  ASSERT_TRUE(player.GetDuration(duration));
  EXPECT_NEAR(static_cast<double>(duration.count()), 12.0 * kSecond.count(), 0.2 * kSecond.count());
  ASSERT_TRUE(player.Pause());

  // Seeking to where the player stands does not seek: no new picture is prerolled.
  ASSERT_TRUE(player.SetPosition(2 * kSecond));
  ASSERT_TRUE(player.Pause());
  MediaTime position{};
  ASSERT_TRUE(player.GetCurrentPosition(position));
  EXPECT_EQ(position, 2 * kSecond);
  std::this_thread::sleep_for(100ms);
  const int previews = window.previews.load();
  EXPECT_TRUE(player.SetPosition(position));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(window.previews.load(), previews);

  ASSERT_TRUE(player.SkipForward());
  ASSERT_TRUE(player.Pause());
  ASSERT_TRUE(player.GetCurrentPosition(position));
  EXPECT_EQ(position, 7 * kSecond);

  // Back from 2 s goes to the start; forward past the end is left to the seek (it ends the file).
  ASSERT_TRUE(player.SetPosition(2 * kSecond));
  ASSERT_TRUE(player.SkipBack());
  ASSERT_TRUE(player.Pause());
  ASSERT_TRUE(player.GetCurrentPosition(position));
  EXPECT_EQ(position, MediaTime::zero());
  ASSERT_TRUE(player.SetPosition(9 * kSecond));
  player.SkipForward();
  ASSERT_TRUE(player.Run());
  ASSERT_TRUE(WaitFor([&] { return window.eventNotices.load() > 0; }));
  CMyVideoPlayer::Event event{};
  ASSERT_TRUE(player.TakeNextEvent(event));
  EXPECT_EQ(event, CMyVideoPlayer::Event::EndOfStream);
}

// Paused, a seek's picture reaches the camera at once, not only the preview; the user scrubs
// through a paused video to pick what the camera shows.
TEST_F(VideoPlayerTest, APausedSeekSendsItsPictureToTheCamera) {
  ASSERT_EQ(player.OpenFile(&window, test::TestMedia("long-320x240.avi").string()), kOk);
  ASSERT_TRUE(player.Pause());
  ASSERT_TRUE(player.SetPosition(2 * kSecond));
  ASSERT_TRUE(WaitFor([&] { return section.Exists() && section.Header().byteCount > 0; }));
  const std::vector<unsigned char> atTwo = section.ReadAll();
  ASSERT_TRUE(player.SetPosition(8 * kSecond));
  EXPECT_TRUE(WaitFor([&] { return section.ReadAll() != atTwo; }));
  EXPECT_EQ(section.Header().width, 320);
}

TEST_F(VideoPlayerTest, VolumeInHundredthsOfADecibel) {
  ASSERT_EQ(player.OpenFile(&window, test::TestMedia("picture-sound.webm").string()), kOk);
  long volume = 1;
  ASSERT_TRUE(player.SetVolume(-1000));
  ASSERT_TRUE(player.GetVolume(volume));
  EXPECT_NEAR(static_cast<double>(volume), -1000.0, 1.0);
  ASSERT_TRUE(player.Mute());
  ASSERT_TRUE(player.GetVolume(volume));
  EXPECT_EQ(volume, -10000);
  ASSERT_TRUE(player.SetVolume(0));
  ASSERT_TRUE(player.GetVolume(volume));
  EXPECT_EQ(volume, 0);
  EXPECT_FALSE(player.SetVolume(100));
  EXPECT_EQ(log.Count("Failure to set volume error code= " + std::to_string(kFail)), 1);
}

TEST_F(VideoPlayerTest, FileWithoutSoundHasNoVolume) {
  ASSERT_EQ(player.OpenFile(&window, test::TestMedia("video-only-642x480.mp4").string()), kOk);
  long volume = 0;
  EXPECT_FALSE(player.GetVolume(volume));
  EXPECT_FALSE(player.SetVolume(-1000));
  EXPECT_FALSE(player.Mute());
  EXPECT_EQ(log.Count("Failure to get volume error code= " + std::to_string(kFail)), 1);
  EXPECT_EQ(log.Count("Failure to Close volume error code= " + std::to_string(kFail)), 1);
}

TEST_F(VideoPlayerTest, NothingLoadedAnswersFalse) {
  MediaTime time{};
  long volume = 0;
  CMyVideoPlayer::Event event{};
  EXPECT_FALSE(player.SetPosition(MediaTime::zero()));
  EXPECT_FALSE(player.GetCurrentPosition(time));
  EXPECT_FALSE(player.SkipForward());
  EXPECT_FALSE(player.SkipBack());
  EXPECT_FALSE(player.Mute());
  EXPECT_FALSE(player.GetVolume(volume));
  EXPECT_FALSE(player.Run());
  EXPECT_FALSE(player.TakeNextEvent(event));
  EXPECT_FALSE(player.ReadPreviewFrame([](const FrameView&) {}));
}

struct BadFile {
  const char* name;
  int result;
  const char* logged;  // a text that must be in the log, or empty
};

void PrintTo(const BadFile& c, std::ostream* out) { *out << c.name; }

class RefusesBadFiles : public VideoPlayerTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RefusesBadFiles, FailsWithAResultAndLeavesNothingRunning) {
  const BadFile c = GetParam();
  const auto path = temp / c.name;
  if (std::string(c.name) == "not a video.mp4") {
    std::ofstream(path) << "This is a letter, not a film.\n";
  } else if (std::string(c.name) == "truncated.mp4") {
    std::ifstream source(test::TestMedia("video-only-642x480.mp4"), std::ios::binary);
    std::vector<char> head(4000);
    source.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::ofstream(path, std::ios::binary).write(head.data(), source.gcount());
  } else if (std::string(c.name) == "sound-only.wav") {
    std::filesystem::copy_file(test::TestMedia(c.name), path);
  }
  const int result = player.OpenFile(&window, path.string());
  // GStreamer's decodebin drops an error that a demuxer raises while decodebin is still setting it
  // up; on a loaded machine the truncated file fails that early, the player sees no error and gives
  // up after its preroll timeout. The load fails either way and nothing is left running.
  const bool errorLostByDecodebin = std::string(c.name) == "truncated.mp4" && result == kTimeout;
  if (!errorLostByDecodebin) {
    EXPECT_EQ(result, c.result);
  }
  EXPECT_FALSE(player.IsLoaded());
  EXPECT_FALSE(section.Exists());
  if (*c.logged) {
    bool found = false;
    for (const auto& record : log.Records()) {
      if (record.message.find(c.logged) == std::string::npos) continue;
      found = true;
      EXPECT_EQ(record.level, 40000);
      EXPECT_EQ(record.source, "vmrutil");  // the pipeline-building routines report load failures
    }
    EXPECT_TRUE(found) << c.logged;
  }
  if (result != kFileNotFound && !errorLostByDecodebin) {
    EXPECT_EQ(FormatResultText(result), kMissingDecoderHint);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RefusesBadFiles,
                         ::testing::Values(BadFile{"missing.avi", kFileNotFound, "missing.avi"},
                                           BadFile{"not a video.mp4", kUnsupportedStream, "not a video.mp4"},
                                           BadFile{"truncated.mp4", kUnsupportedStream, "truncated.mp4"},
                                           BadFile{"sound-only.wav", kNotGrabbed, "grabber is not grabbed"}),
                         [](const auto& testInfo) { return std::to_string(testInfo.index); });

}  // namespace
}  // namespace kalimo::media

namespace kalimo::media {
namespace {

// Where a sound output is found: a server socket in the runtime folder, a playback device.
TEST(SoundOutput, FoundByServerSocketOrPlaybackDevice) {
  const char* server = std::getenv("PULSE_SERVER");
  const std::string keptServer = server ? server : "";
  unsetenv("PULSE_SERVER");
  struct Case {
    const char* runtimeFile;
    const char* device;
    bool found;
  } cases[] = {
      {nullptr, nullptr, false},
      {"pulse/native", nullptr, true},
      {"pipewire-0", nullptr, true},
      {nullptr, "pcmC0D0p", true},
      {nullptr, "pcmC0D0c", false},  // a microphone only
      {nullptr, "controlC0", false},
  };
  for (const Case& c : cases) {
    test::TempDir runtime;
    test::TempDir devices;
    if (c.runtimeFile) {
      std::filesystem::create_directories((runtime / c.runtimeFile).parent_path());
      std::ofstream(runtime / c.runtimeFile) << "";
    }
    if (c.device) std::ofstream(devices / c.device) << "";
    EXPECT_EQ(FindSoundOutput(runtime.Str(), devices.Str()), c.found)
        << (c.runtimeFile ? c.runtimeFile : "") << (c.device ? c.device : "");
  }
  setenv("PULSE_SERVER", "unix:/nowhere", 1);
  EXPECT_TRUE(FindSoundOutput("", "/nonexistent"));
  if (keptServer.empty()) {
    unsetenv("PULSE_SERVER");
  } else {
    setenv("PULSE_SERVER", keptServer.c_str(), 1);
  }
}

// Without a sound output (the test's own runtime folder has no server; a machine with a sound card
// cannot show it), a file with sound plays, its volume works, and no sound library writes on the
// terminal: the sound goes to the silent sink with one INFO line.
TEST(SoundOutput, WithoutOneAFileWithSoundPlaysQuietly) {
  if (SoundOutputAvailable()) GTEST_SKIP() << "this machine has a sound output";
  test::TestSection section;
  test::TempDir folder;
  const std::string errors = (folder / "stderr.txt").string();
  std::fflush(stderr);
  const int saved = dup(2);
  const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, 2);
  close(file);
  {
    test::CountingVideoWindow window;
    CMyVideoPlayer player;
    EXPECT_EQ(player.OpenFile(&window, test::TestMedia("picture-sound.avi").string()), kOk);
    EXPECT_TRUE(player.SetVolume(-2000));
    long volume = 0;
    EXPECT_TRUE(player.GetVolume(volume));
    EXPECT_NEAR(static_cast<double>(volume), -2000.0, 5.0);
    player.Close();
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  CloseFrameSection(ProcessFrameSectionHandle());
  std::ifstream in(errors);
  const std::string printed(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(printed.find("ALSA lib"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("AL lib"), std::string::npos) << printed;
}

}  // namespace
}  // namespace kalimo::media
