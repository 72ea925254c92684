#include "recording/Recorder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "library/ListFile.h"
#include "library/VideoGroupStore.h"
#include "library/settings/SettingParams.h"
#include "recording/MediaFileNames.h"
#include "recording/Snapshot.h"
#include "recording/StorageFolders.h"
#include "tests/recording/AviTestSupport.h"
#include "tests/recording/RecordingTestSupport.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class CountingNotices : public CameraControlNotices {
 public:
  void PostSnapshotFinished() override { ++snapshotsFinished; }
  void PostRecordedFrameFailed() override { ++framesFailed; }
  std::atomic<int> snapshotsFinished{0};
  std::atomic<int> framesFailed{0};
};

void Feed(CameraControlState& control, const Bytes& frame, int width, int height) {
  OnCameraFrame(control, DibFrame(frame.data(), width, height, static_cast<std::int64_t>(frame.size())));
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (!fs::is_directory(folder)) return names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class RecorderTest : public ::testing::Test {
 protected:
  explicit RecorderTest(test::RecordingConfig config = {}) : setup(config) {
    // The recorder prepares the folders only once per process; each test has its own root.
    fs::create_directories(setup.PhotoFolder());
    fs::create_directories(setup.MovieFolder());
    SetTodayFunction([] { return CalendarDate{2012, 9, 17}; });
    control.notices = &notices;
  }
  ~RecorderTest() override {
    StopMovie();
    SetTodayFunction({});
  }

  test::RecordingSetup setup;
  CameraControlState control;
  CountingNotices notices;
};

TEST_F(RecorderTest, OneRequestYieldsOnePhotoWithFramesOnTwoThreads) {
  SetLargestCameraFrameSize({1280, 720});
  const Bytes frame = test::MakeFrame(1280, 720, 0);
  for (int round = 1; round <= 3; ++round) {
    control.snapshotRequestFlag = 1;
    auto sender = [&] {
      for (int i = 0; i < 10; ++i) Feed(control, frame, 1280, 720);
    };
    std::thread first(sender), second(sender);
    first.join();
    second.join();
    EXPECT_EQ(control.snapshotRequestFlag.load(), 0);
    EXPECT_EQ(notices.snapshotsFinished.load(), round);
    EXPECT_EQ(FilesIn(setup.PhotoFolder()).size(), static_cast<std::size_t>(round));
  }
  EXPECT_EQ(FilesIn(setup.PhotoFolder()),
            (std::vector<std::string>{"S20120917_0001.jpg", "S20120917_0002.jpg", "S20120917_0003.jpg"}));
  const auto identify =
      test::RunCommand("identify -format '%m %wx%h' " + test::Quote(setup.PhotoFolder() + "/S20120917_0001.jpg"));
  EXPECT_EQ(identify.output, "JPEG 640x480");
  EXPECT_TRUE(StorageFoldersPrepared());
}

TEST_F(RecorderTest, PhotoAttemptWithoutAFolderStillEndsTheRequest) {
  // A file where the storage folder belongs: the folders cannot be made (a missing folder would be).
  fs::remove_all(setup.Root());
  std::ofstream(setup.Root()) << "not a folder";
  test::MessageLog messages;
  SetTodayFunction([] { return CalendarDate{2012, 9, 17}; });
  control.snapshotRequestFlag = 1;
  Feed(control, test::MakeFrame(64, 48, 0), 64, 48);
  EXPECT_EQ(notices.snapshotsFinished.load(), 1);
  EXPECT_EQ(control.snapshotRequestFlag.load(), 0);
  EXPECT_FALSE(messages.Texts().empty());  // the folders could not be made, and the photo not saved
  EXPECT_FALSE(fs::is_directory(setup.Root()));
}

TEST_F(RecorderTest, RecordingStartedAndStoppedByTheUserPlays) {
  ASSERT_TRUE(StartRecording(control, true));
  EXPECT_EQ(control.recordingFlag.load(), 1);
  EXPECT_TRUE(IsMovieActive());
  for (int i = 0; i < 5; ++i) Feed(control, test::MakeFrame(642, 20, i), 642, 20);
  const std::string path = StopRecording(control);
  EXPECT_EQ(path, setup.MovieFolder() + "/M20120917_0001.avi");
  EXPECT_EQ(control.recordingFlag.load(), 0);
  EXPECT_FALSE(IsMovieActive());
  const auto stream = test::ProbeVideoStream(path);
  EXPECT_EQ(stream.at("nb_read_frames"), "5");
  EXPECT_EQ(stream.at("r_frame_rate"), "12/1");
  EXPECT_EQ(notices.framesFailed.load(), 0);
  // Frames while not recording are not recorded, and a stop without a recording names nothing.
  Feed(control, test::MakeFrame(642, 20, 9), 642, 20);
  EXPECT_EQ(StopRecording(control), "");
}

class RecorderAtLowResolutionTest : public RecorderTest {
 protected:
  RecorderAtLowResolutionTest() : RecorderTest({0, 0}) {}
};

TEST_F(RecorderAtLowResolutionTest, MovieResolutionZeroDropsTheFirstThreeFrames) {
  ASSERT_TRUE(StartRecording(control, true));
  for (int i = 0; i < 5; ++i) Feed(control, test::MakeFrame(32, 16, i), 32, 16);
  const std::string path = StopRecording(control);
  EXPECT_EQ(test::ProbeVideoStream(path).at("nb_read_frames"), "2");
  Bytes expected;
  for (int i = 3; i < 5; ++i) {
    const Bytes rows = test::TopDownRows(test::MakeFrame(32, 16, i), 32, 16, 1);
    expected.insert(expected.end(), rows.begin(), rows.end());
  }
  EXPECT_TRUE(test::DecodeWithFfmpeg(path) == expected);
}

TEST_F(RecorderTest, StartRefusedWhenTheCameraIsNotOpen) {
  test::MessageLog messages;
  EXPECT_FALSE(StartRecording(control, false));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"摄像头没有打开，不能录像"});
  // The box of the camera bar's other refusal ("摄像头没有打开，不能拍照").
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].caption, "Kalimo");
  EXPECT_EQ(messages.Messages()[0].icon, UserMessage::Icon::Warning);
  EXPECT_EQ(control.recordingFlag.load(), 0);
  EXPECT_FALSE(IsMovieActive());
}

TEST_F(RecorderTest, StoppingARecordingThatGotNoFrameReturnsItsPathAndLeavesNoFile) {
  ASSERT_TRUE(StartRecording(control, true));
  const std::string path = StopRecording(control);
  EXPECT_EQ(path, setup.MovieFolder() + "/M20120917_0001.avi");
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(RecorderTest, StartingAgainFinishesTheRunningRecording) {
  StartMovie(setup.Root() + "/first.avi");
  control.recordingFlag = 1;
  Feed(control, test::MakeFrame(32, 16, 0), 32, 16);
  StartMovie(setup.Root() + "/second.avi");
  Feed(control, test::MakeFrame(32, 16, 1), 32, 16);
  EXPECT_EQ(StopMovie(), setup.Root() + "/second.avi");
  EXPECT_EQ(test::ProbeVideoStream(setup.Root() + "/first.avi").at("nb_read_frames"), "1");
  EXPECT_EQ(test::ProbeVideoStream(setup.Root() + "/second.avi").at("nb_read_frames"), "1");
}

// The warning of a failed append is shown once per recording, with the lock released: the user-
// interface thread can take the lock (to stop the recording) while the message is up.
TEST_F(RecorderTest, FailedAppendIsReportedOnceWithoutHoldingTheRecordingLock) {
  bool lockWasFree = false;
  std::vector<std::string> texts;
  const MessagePresenter previous = SetMessagePresenter([&](const UserMessage& message) {
    texts.push_back(message.text);
    std::packaged_task<bool()> probe([] { return IsMovieActive(); });  // takes recordingLock
    std::future<bool> probed = probe.get_future();
    std::thread(std::move(probe)).detach();
    lockWasFree = probed.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    return MessageAnswer::Ok;
  });
  const std::string path = setup.Root() + "/missing/movie.avi";
  StartMovie(path);
  control.recordingFlag = 1;
  for (int i = 0; i < 3; ++i) Feed(control, test::MakeFrame(32, 16, i), 32, 16);
  SetMessagePresenter(previous);
  EXPECT_EQ(texts, std::vector<std::string>{SystemErrorText(ENOENT)});
  EXPECT_TRUE(lockWasFree);
  EXPECT_EQ(notices.framesFailed.load(), 1);
  EXPECT_EQ(StopMovie(), path);
  EXPECT_FALSE(fs::exists(path));
}

// Run in the sanitizer build, this shows that no append ever meets a destroyed writer.
TEST_F(RecorderTest, AppendsAndStopsRacingNeverUseADestroyedWriter) {
  std::atomic<bool> done{false};
  control.recordingFlag = 1;
  std::thread grabber([&] {
    const Bytes frame = test::MakeFrame(32, 16, 0);
    while (!done) Feed(control, frame, 32, 16);
  });
  std::vector<std::string> stopped;
  for (int i = 0; i < 30; ++i) {
    StartMovie(setup.Root() + "/movie" + std::to_string(i) + ".avi");
    std::this_thread::yield();
    stopped.push_back(StopMovie());
  }
  done = true;
  grabber.join();
  EXPECT_EQ(notices.framesFailed.load(), 0);
  for (std::size_t i = 0; i < stopped.size(); ++i) {
    EXPECT_EQ(stopped[i], setup.Root() + "/movie" + std::to_string(i) + ".avi");
    if (fs::exists(stopped[i])) {
      const auto stream = test::ProbeVideoStream(stopped[i]);
      EXPECT_EQ(stream.count("nb_read_frames"), 1u) << stopped[i];
    }
  }
}

TEST_F(RecorderTest, FinishedRecordingJoinsTheDefaultVideoGroupOnOk) {
  {
    test::MessageLog cancel(MessageAnswer::Cancel);
    EXPECT_FALSE(OfferRecordingToVideoList(setup.Root() + "/a.avi"));
    EXPECT_EQ(cancel.Messages().at(0).caption, "询问");
    EXPECT_EQ(cancel.Texts().at(0), "视频录制成功，是否需要把刚才录制的视频添加到虚拟视频的播放列表中");
  }
  test::MessageLog ok(MessageAnswer::Ok);
  EXPECT_FALSE(OfferRecordingToVideoList(""));
  EXPECT_TRUE(ok.Texts().empty());
  const std::string plain = setup.Root() + "/录像/M20120917_0001.avi";
  const std::string withAmpersand = setup.Root() + "/Tom&Jerry/M20120917_0002.avi";
  ASSERT_TRUE(OfferRecordingToVideoList(plain));
  ASSERT_TRUE(AddRecordingToVideoList(withAmpersand));

  std::vector<std::string> lines;
  ASSERT_TRUE(ListFile::LoadList(kGroupListFileName, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{plain, std::string(DefaultGroupName) + "&" + withAmpersand}));
  VideoGroupStore store;
  ASSERT_TRUE(store.LoadGroups());
  ASSERT_EQ(store.GetGroupVideoCount(DefaultGroupName), 2);
  EXPECT_EQ(store.GetGroupVideoAt(DefaultGroupName, 0), plain);
  EXPECT_EQ(store.GetGroupVideoAt(DefaultGroupName, 1), withAmpersand);
}

}  // namespace
}  // namespace kalimo
