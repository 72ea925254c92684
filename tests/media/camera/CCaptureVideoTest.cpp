#include "media/camera/CCaptureVideo.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "common/Messages.h"
#include "media/base/MediaResult.h"
#include "media/camera/CSampleGrabberCB.h"
#include "media/camera/CameraDeviceWatch.h"
#include "recording/Recorder.h"
#include "recording/Snapshot.h"
#include "tests/support/MediaTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestSection.h"

namespace kalimo::media {
namespace {

constexpr const char* kVirtualCameraName = "Kalimo摄像头";

// Cameras are announced by the fake camera plugin; the virtual camera's name comes from the
// config.ini of a temporary program folder.
class CaptureTest : public ::testing::Test {
 protected:
  explicit CaptureTest(const char* cameras =
                           "Desk Cam|raw:320x240,raw:160x120;Kalimo摄像头|raw:640x480;"
                           "Renamed Virtual Camera|raw:640x480|ours;Wide Cam|raw:1280x720,raw:640x480;"
                           "Bridged Virtual Camera|raw:640x480|bridge;HD Cam|raw:1280x720") {
    setenv("KALIMO_FAKE_CAMERAS", cameras, 1);
    setenv("KALIMO_PROGRAM_DIR", programDir.Str().c_str(), 1);
    std::ofstream(programDir / "config.ini") << "[usingsetting]\nname=" << kVirtualCameraName
                                             << "\nresourcespath=" << (programDir / "store").string() << "\n";
    previousPresenter = SetMessagePresenter([this](const UserMessage& message) {
      messages.push_back(message.text);
      return MessageAnswer::Ok;
    });
  }
  ~CaptureTest() override {
    capture.reset();
    CSampleGrabberCB::Preview().SetFrameStep({});
    SetMessagePresenter(previousPresenter);
    CloseFrameSection(ProcessFrameSectionHandle());
  }

  test::TempDir programDir;
  test::TestSection section;
  test::CountingVideoWindow window;
  std::vector<std::string> messages;
  MessagePresenter previousPresenter;
  std::unique_ptr<CCaptureVideo> capture = std::make_unique<CCaptureVideo>(kVirtualCameraName);
};

TEST_F(CaptureTest, ListsRealCamerasInOrderAndSkipsTheVirtualCameraWhateverItsName) {
  std::vector<std::string> names;
  EXPECT_EQ(capture->EnumCameras(names), 6);
  EXPECT_EQ(names, (std::vector<std::string>{"Desk Cam", "Wide Cam", "HD Cam"}));
}

#ifdef KALIMO_REGISTER_PROGRAM
// The virtual camera registered as a user registers it (its plugin linked into the user's GStreamer
// folder, its device entry written), into folders the test makes for it: listed nowhere, and
// counted once, as the rule counts the skipped virtual camera (the fake cameras' six and this one).
class RegisteredVirtualCamera : public CaptureTest {
 public:
  static void SetUpTestSuite() {
    user = std::make_unique<test::TempDir>();
    // Before GStreamer starts in this process: it scans the data folder's plugins then. A registry
    // of its own, so that the shared one never learns this plugin.
    setenv("XDG_DATA_HOME", (*user / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (*user / "config").c_str(), 1);
    setenv("GST_REGISTRY", (*user / "gst-registry.bin").c_str(), 1);
    ASSERT_EQ(std::system(KALIMO_REGISTER_PROGRAM " >/dev/null"), 0);
    ASSERT_TRUE(std::filesystem::exists(*user / "data/gstreamer-1.0/plugins/libgstostrel.so"));
  }
  static void TearDownTestSuite() { user.reset(); }
  static inline std::unique_ptr<test::TempDir> user;
};

TEST_F(RegisteredVirtualCamera, IsLeftOutOfTheList) {
  std::vector<std::string> names;
  EXPECT_EQ(capture->EnumCameras(names), 7);
  EXPECT_EQ(names, (std::vector<std::string>{"Desk Cam", "Wide Cam", "HD Cam"}));
}
#endif

struct OpenCase {
  int position;
  int width;
  int height;
  FrameSize largest;
};

void PrintTo(const OpenCase& c, std::ostream* out) { *out << "position " << c.position; }

class OpensAtTheChosenSize : public CaptureTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpensAtTheChosenSize, FramesReachTheSectionAtThatSize) {
  const OpenCase c = GetParam();
  ASSERT_EQ(capture->OpenCamera(c.position, &window), kOk);
  EXPECT_EQ(capture->FrameWidth(), c.width);
  EXPECT_EQ(capture->FrameHeight(), c.height);
  EXPECT_EQ(CSampleGrabberCB::Preview().LargestSize(), c.largest);
  ASSERT_TRUE(test::WaitFor([&] { return capture->FramesDelivered() >= 3; }));
  const auto header = section.Header();
  EXPECT_EQ(header.width, c.width);
  EXPECT_EQ(header.height, c.height);
  EXPECT_EQ(header.byteCount, DibStride(c.width) * c.height);
  EXPECT_GT(window.previews.load(), 0);
  EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Cameras, OpensAtTheChosenSize,
                         // A 16:9 camera offering 640 × 480 opens at that size; one that does not keeps its shape.
                         ::testing::Values(OpenCase{0, 320, 240, {320, 240}}, OpenCase{1, 640, 480, {1280, 720}},
                                           OpenCase{2, 640, 360, {1280, 720}}),
                         [](const auto& testInfo) { return std::to_string(testInfo.index); });

TEST_F(CaptureTest, PositionBeyondTheLastCameraBindsNothingWithoutAMessage) {
  EXPECT_EQ(capture->OpenCamera(3, &window), kFalse);
  EXPECT_EQ(capture->OpenCamera(-1, &window), kFalse);
  EXPECT_FALSE(capture->IsOpen());
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(section.Exists());
}

TEST_F(CaptureTest, FrameStepGetsTheFrameAsTheVirtualCameraHasIt) {
  std::atomic<int> steps{0};
  std::vector<unsigned char> stepped;
  std::mutex lock;
  CSampleGrabberCB::Preview().SetFrameStep([&](const FrameView& frame) {
    std::lock_guard guard(lock);
    EXPECT_EQ(frame.width, 320);
    EXPECT_EQ(frame.height, 240);
    EXPECT_EQ(frame.byteCount, 230400);
    stepped.assign(frame.bits, frame.bits + frame.byteCount);
    ++steps;
  });
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  ASSERT_TRUE(test::WaitFor([&] { return steps.load() >= 2; }));
  capture->CloseCamera();
  const auto bytes = section.ReadAll();
  std::lock_guard guard(lock);
  EXPECT_TRUE(std::equal(stepped.begin(), stepped.end(), bytes.begin() + kSectionHeaderSize));
}

// The tap copies a frame with the size the camera was opened at: a frame of another size or
// layout is dropped rather than read past its end.
TEST_F(CaptureTest, TapDropsFramesNotOfTheOpenedSize) {
  CSampleGrabberCB& tap = CSampleGrabberCB::Preview();
  tap.SetFrameSize({4, 2});  // stride 12, 24 bytes
  const std::vector<unsigned char> rows(32, 7);
  const FrameView dropped[] = {
      {rows.data(), 4, 2, 12, 23},  // short
      {rows.data(), 4, 2, 16, 24},  // rows wider than the length holds
      {rows.data(), 2, 4, 12, 24},  // same length, another size
      {rows.data(), 4, 2, 8, 16},   // rows narrower than the picture
      {nullptr, 4, 2, 12, 24},
  };
  for (const FrameView& frame : dropped) EXPECT_EQ(tap.BufferCB(0, frame), 0);
  EXPECT_FALSE(section.Exists());
  tap.BufferCB(0, FrameView{rows.data(), 4, 2, 12, 24});
  EXPECT_EQ(section.Header().byteCount, 24);
  tap.SetFrameSize(CCaptureVideo::kRequestedSize);
}

TEST_F(CaptureTest, PhotoRequestSavesOneJpegOfTheCameraPicture) {
  std::filesystem::create_directories(programDir / "store");
  CameraControlState control;
  control.snapshotRequestFlag = 1;
  std::atomic<int> frames{0};
  CSampleGrabberCB::Preview().SetFrameStep([&](const FrameView& frame) {
    OnCameraFrame(control, frame);
    ++frames;
  });
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  SetLargestCameraFrameSize(CSampleGrabberCB::Preview().LargestSize());  // as the camera window does on opening
  ASSERT_TRUE(test::WaitFor([&] { return control.snapshotRequestFlag.load() == 0 && frames.load() >= 5; }));
  capture->CloseCamera();

  std::vector<std::filesystem::path> photos;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(programDir / "store"))
    if (entry.path().extension() == ".jpg") photos.push_back(entry.path());
  ASSERT_EQ(photos.size(), 1u) << ::testing::PrintToString(messages);
  std::string size;
  if (FILE* pipe = popen(("identify -format '%m %w %h' '" + photos[0].string() + "'").c_str(), "r")) {
    char buffer[64] = {};
    if (fgets(buffer, sizeof buffer, pipe)) size = buffer;
    pclose(pipe);
  }
  EXPECT_EQ(size, "JPEG 320 240");
}

class UnpluggedCamera : public CaptureTest {
 protected:
  UnpluggedCamera() : CaptureTest("Short Cam|raw:320x240|frames=10") {}
};

TEST_F(UnpluggedCamera, OwnerIsToldAndTheLastFrameStays) {
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  ASSERT_TRUE(test::WaitFor([&] { return window.eventNotices.load() > 0; }));
  CCaptureVideo::Event event{};
  ASSERT_TRUE(capture->TakeNextEvent(event));
  capture->CloseCamera();
  EXPECT_EQ(section.Header().width, 320);
  EXPECT_EQ(section.Header().byteCount, 230400);
}

class CompressedCameras : public CaptureTest {
 protected:
  CompressedCameras() : CaptureTest("Jpeg Cam|jpeg:1280x720;Stream Cam|h264:1280x720") {}
};

TEST_F(CompressedCameras, JpegIsDecodedAndScaledAndAStreamOnlyCameraIsRefused) {
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  EXPECT_EQ(capture->FrameWidth(), 640);
  EXPECT_EQ(capture->FrameHeight(), 360);
  ASSERT_TRUE(test::WaitFor([&] { return capture->FramesDelivered() >= 2; }));
  EXPECT_EQ(section.Header().width, 640);
  EXPECT_EQ(section.Header().height, 360);

  EXPECT_TRUE(Failed(capture->OpenCamera(1, &window)));
  EXPECT_FALSE(capture->IsOpen());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], std::string("Can’t build the graph") + kMissingDecoderHint);
}

// Cameras plugged in and out while a watch runs: the fake cameras follow a control file.
class PluggedCameras : public CaptureTest {
 protected:
  PluggedCameras() : CaptureTest("") {
    setenv("KALIMO_FAKE_CAMERAS_FILE", controlFile.c_str(), 1);
    SetCameras("Desk Cam|raw:320x240\nKalimo摄像头|raw:640x480|ours");
  }
  ~PluggedCameras() override { unsetenv("KALIMO_FAKE_CAMERAS_FILE"); }
  // Written whole and renamed over the list, as the provider may read it at any moment.
  void SetCameras(const std::string& cameras) {
    const auto next = programDir / "cameras.next";
    std::ofstream(next) << cameras;
    std::filesystem::rename(next, controlFile);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    capture->EnumCameras(names);
    return names;
  }
  std::filesystem::path controlFile = programDir / "cameras";
};

TEST_F(PluggedCameras, ChangesAreToldAndListedAndTheUnpluggedOpenCameraFails) {
  using Names_ = std::vector<std::string>;
  std::atomic<int> changes{0};
  CameraDeviceWatch watch([&] { ++changes; });
  ASSERT_TRUE(watch.IsWatching());
  EXPECT_EQ(Names(), Names_{"Desk Cam"});

  SetCameras("Desk Cam|raw:320x240\nKalimo摄像头|raw:640x480|ours\nNew Cam|raw:1280x720");
  ASSERT_TRUE(test::WaitFor([&] { return changes.load() >= 1; }));
  EXPECT_EQ(Names(), (Names_{"Desk Cam", "New Cam"}));
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  ASSERT_TRUE(test::WaitFor([&] { return capture->FramesDelivered() >= 2; }));

  // Our own camera under another name is news too, but never listed; the open camera goes.
  const int before = changes.load();
  SetCameras("New Cam|raw:1280x720\nRenamed|raw:640x480|ours");
  ASSERT_TRUE(test::WaitFor([&] { return changes.load() >= before + 3; }));  // two out, one in
  EXPECT_EQ(Names(), Names_{"New Cam"});
  ASSERT_TRUE(test::WaitFor([&] { return window.eventNotices.load() > 0; }));
  CCaptureVideo::Event event{};
  ASSERT_TRUE(capture->TakeNextEvent(event));
  EXPECT_EQ(event, CCaptureVideo::Event::Error);
  capture->CloseCamera();
  EXPECT_EQ(section.Header().width, 320);  // the last picture stays
  EXPECT_TRUE(messages.empty());

  // The camera left in the list opens at its own position.
  ASSERT_EQ(capture->OpenCamera(0, &window), kOk);
  EXPECT_EQ(capture->FrameWidth(), 640);
  EXPECT_EQ(capture->FrameHeight(), 360);
}

class NoCameras : public CaptureTest {
 protected:
  NoCameras() : CaptureTest("") {}
};

TEST_F(NoCameras, EnumerationSaysNoneAndOpeningBindsNothing) {
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(capture->EnumCameras(names), -1);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(capture->OpenCamera(0, &window), kFalse);
}

}  // namespace
}  // namespace kalimo::media
