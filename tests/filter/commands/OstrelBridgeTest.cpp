// ostrel-bridge publishes the camera to a PipeWire daemon of the test's own, under the camera's
// friendly name; the main program starts when a consumer starts streaming, not before.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <numeric>
#include <thread>

#include "common/ApplyDataToOstrel.h"
#include "platform/RegistryStore.h"
#include "tests/filter/GstPluginFixture.h"
#include "tests/support/SectionTestSupport.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

auto* const environment =
    static_cast<test::GstPluginEnvironment*>(::testing::AddGlobalTestEnvironment(new test::GstPluginEnvironment));

bool WaitFor(const std::function<bool()>& condition, int seconds = 10) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A process of the test's, ended (SIGTERM, then waited for) when the object goes, and by the
// kernel if the test process dies first, so that no daemon outlives a crashed test.
class Child {
 public:
  explicit Child(std::vector<std::string> arguments) {
    gchar* program = g_find_program_in_path(arguments[0].c_str());
    if (!program) return;
    arguments[0] = program;
    g_free(program);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Running() const { return pid_ > 0; }
  // Ends the process; its exit status, or -1 when it died of something else than SIGTERM's handling.
  int Stop() {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

// PipeWire for this test alone: its own runtime folder, session bus, daemon and session manager.
class PrivatePipeWire {
 public:
  explicit PrivatePipeWire(const std::filesystem::path& runtime) {
    const std::string bus = "unix:path=" + (runtime / "bus").string();
    setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
    dbus_ = std::make_unique<Child>(std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--address=" + bus});
    WaitFor([&] { return std::filesystem::exists(runtime / "bus"); }, 5);
    pipewire_ = std::make_unique<Child>(std::vector<std::string>{"pipewire"});
    WaitFor([&] { return std::filesystem::exists(runtime / "pipewire-0"); }, 5);
    wireplumber_ = std::make_unique<Child>(std::vector<std::string>{"wireplumber"});
    ready_ = dbus_->Running() && pipewire_->Running() && wireplumber_->Running() &&
             std::filesystem::exists(runtime / "pipewire-0");
  }
  ~PrivatePipeWire() {
    // The session manager first, the bus last: the reverse of the start.
    wireplumber_.reset();
    pipewire_.reset();
    dbus_.reset();
  }
  bool Ready() const { return ready_; }

 private:
  std::unique_ptr<Child> dbus_;
  std::unique_ptr<Child> pipewire_;
  std::unique_ptr<Child> wireplumber_;
  bool ready_ = false;
};

// The first of `programs` that is not installed, or nullptr.
const char* MissingProgram(std::initializer_list<const char*> programs) {
  for (const char* program : programs) {
    if (std::system((std::string("command -v ") + program + " >/dev/null").c_str()) != 0) return program;
  }
  return nullptr;
}

// What a command prints on standard output and standard error together.
std::string CommandOutput(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {};
  std::string output;
  char chunk[4096];
  while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  pclose(pipe);
  return output;
}

// The properties of the PipeWire node named `nodeName`, as pw-cli lists them ("key = \"value\"" lines),
// or empty while there is no such node. (GStreamer's PipeWire device provider of PipeWire 0.3.65
// corrupts its heap now and then when it is stopped, so the test asks pw-cli instead.)
std::string NodeProperties(const std::string& nodeName) {
  const std::string listing = CommandOutput("pw-cli ls Node");
  // Each node starts with a line "\tid N, type PipeWire:Interface:Node...".
  std::size_t start = 0;
  while ((start = listing.find("id ", start)) != std::string::npos) {
    const std::size_t next = listing.find("\tid ", start + 3);
    const std::string block = listing.substr(start, next == std::string::npos ? std::string::npos : next - start);
    if (block.find("node.name = \"" + nodeName + "\"") != std::string::npos) return block;
    if (next == std::string::npos) break;
    start = next + 1;
  }
  return {};
}

double MeanOfRows(const std::vector<unsigned char>& bgr, int width, int firstRow, int rows) {
  double sum = 0;
  const auto stride = static_cast<std::size_t>(width) * 3;
  for (int y = firstRow; y < firstRow + rows; ++y) {
    for (std::size_t i = 0; i < stride; ++i) sum += bgr[static_cast<std::size_t>(y) * stride + i];
  }
  return sum / (static_cast<double>(stride) * rows);
}

// A registered camera with a picture in the frame section, and a private PipeWire with the bridge
// publishing the camera node.
class OstrelBridgeNode : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* missing = MissingProgram({"dbus-daemon", "pipewire", "wireplumber"})) {
      GTEST_SKIP() << missing << " is not installed";
    }
    const auto plugins = environment->Folder().Path() / "plugins";
    std::ofstream(plugins / "kalimo") << "#!/bin/sh\necho started >> \"" << record_.string() << "\"\n";
    std::filesystem::permissions(plugins / "kalimo", std::filesystem::perms::owner_all);

    int error = 0;
    ASSERT_TRUE(platform::RegistryStore::CreateKey(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, error));
    ASSERT_TRUE(platform::RegistryStore::WriteString(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                                     platform::kFriendlyNameValue, "Kalimo摄像头", error));
    // White above, black below: a picture whose orientation survives the conversion to YUV.
    std::vector<unsigned char> picture(640 * 480 * 3, 0);
    std::fill(picture.begin() + 640 * 240 * 3, picture.end(), 255);  // bottom-up: the upper half comes last
    ASSERT_TRUE(WriteFrameToSection(picture.data(), cell_, static_cast<std::int32_t>(picture.size()), 640, 480));

    pipewire_ = std::make_unique<PrivatePipeWire>(folders_.Dir() / "runtime");
    ASSERT_TRUE(pipewire_->Ready()) << "the private PipeWire daemon did not start";
    // In low-latency mode, the mode a video call wants; the picture must arrive the same.
    bridge_ = std::make_unique<Child>(
        std::vector<std::string>{test::BuiltFile("ostrel-bridge").string(), "--low-latency", "on"});
    ASSERT_TRUE(bridge_->Running());
    ASSERT_TRUE(WaitFor([&] { return !(node_ = NodeProperties("kalimo-camera")).empty(); })) << "no camera node";
  }
  void TearDown() override {
    bridge_.reset();
    pipewire_.reset();
    CloseFrameSection(cell_);
  }

  test::UserFolders folders_;
  test::TestSection section_;
  std::filesystem::path record_ = folders_.Dir() / "launches.txt";
  FrameSectionHandle cell_;
  std::unique_ptr<PrivatePipeWire> pipewire_;
  std::unique_ptr<Child> bridge_;
  std::string node_;  // the node's properties
};

TEST_F(OstrelBridgeNode, APipeWireClientReceivesTheCameraUprightUnderItsName) {
  EXPECT_NE(node_.find("node.description = \"Kalimo摄像头\""), std::string::npos) << node_;
  EXPECT_NE(node_.find("media.class = \"Video/Source\""), std::string::npos) << node_;
  EXPECT_NE(node_.find("media.role = \"Camera\""), std::string::npos) << node_;
  EXPECT_FALSE(std::filesystem::exists(record_)) << "the bridge alone must not start the main program";

  GError* parseError = nullptr;
  GstElement* pipeline = gst_parse_launch(
      "pipewiresrc target-object=kalimo-camera ! videoconvert ! video/x-raw,format=BGR,width=640,height=480 ! "
      "appsink name=sink sync=false",
      &parseError);
  ASSERT_NE(pipeline, nullptr) << (parseError ? parseError->message : "");
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);

  // The first frames may be black while the camera's receiver picks the picture up.
  bool upright = false;
  int frames = 0;
  for (; frames < 60 && !upright; ++frames) {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
    if (!sample) break;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    std::vector<unsigned char> bgr(gst_buffer_get_size(buffer));
    gst_buffer_extract(buffer, 0, bgr.data(), bgr.size());
    gst_sample_unref(sample);
    if (bgr.size() == 640u * 480 * 3) upright = MeanOfRows(bgr, 640, 10, 200) > 230 && MeanOfRows(bgr, 640, 270, 200) < 25;
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  EXPECT_TRUE(upright) << "after " << frames << " frames";

  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(record_); }, 5)) << "streaming did not start the main program";
  EXPECT_EQ(bridge_->Stop(), 0);
}

// Browsers and PipeWire's V4L2 shim read only formats whose format and size are both fixed, so
// the node publishes one such format per (format, size), preferred first. Read back by pw-cli.
TEST_F(OstrelBridgeNode, PublishesOneFixedFormatPerFormatAndSize) {
  const std::string listing = CommandOutput("pw-cli enum-params kalimo-camera EnumFormat");
  EXPECT_EQ(listing.find("Choice"), std::string::npos) << "a format left open:\n" << listing;
  std::vector<std::string> formats;  // "YUY2 640x480", in the order published
  const std::string objectMark = "Param:Format (";
  for (std::size_t at = listing.find(objectMark); at != std::string::npos;) {
    const std::size_t next = listing.find(objectMark, at + 1);
    const std::string block = listing.substr(at, next == std::string::npos ? std::string::npos : next - at);
    const std::size_t name = block.find("VideoFormat:");
    const std::size_t size = block.find("Rectangle ");
    formats.push_back((name == std::string::npos ? "?" : block.substr(name + 12, block.find(')', name) - name - 12)) +
                      " " + (size == std::string::npos ? "?" : block.substr(size + 10, block.find('\n', size) - size - 10)));
    at = next;
  }
  const std::vector<std::string> expected = {"YUY2 640x480", "YUY2 320x240", "I420 640x480",
                                             "I420 320x240", "NV12 640x480", "NV12 320x240"};
  EXPECT_EQ(formats, expected) << listing;
}

// A V4L2 program through pw-v4l2 (ffmpeg, an independent reader) lists every format at both sizes
// and gets the size it asks for, upright.
TEST_F(OstrelBridgeNode, AV4l2ProgramThroughPwV4l2ListsBothSizesAndCaptures320x240) {
  if (const char* missing = MissingProgram({"pw-v4l2", "ffmpeg"})) GTEST_SKIP() << missing << " is not installed";
  const std::string formats = CommandOutput("pw-v4l2 ffmpeg -hide_banner -f v4l2 -list_formats all -i /dev/video0");
  for (const char* format : {"yuyv422", "yuv420p", "nv12"}) {
    const std::size_t line = formats.find(std::string(format) + " :");
    ASSERT_NE(line, std::string::npos) << format << " missing:\n" << formats;
    EXPECT_NE(formats.substr(line, formats.find('\n', line) - line).find(": 640x480 320x240"), std::string::npos)
        << formats;
  }

  // 1.5 s of luma only: the first frames may be black while the camera's receiver picks the picture up.
  const auto output = folders_.Dir() / "capture.gray";
  constexpr int kFrames = 45;
  const std::string log = CommandOutput(
      "pw-v4l2 ffmpeg -hide_banner -nostdin -f v4l2 -video_size 320x240 -input_format yuyv422 -i /dev/video0 "
      "-frames:v " + std::to_string(kFrames) + " -pix_fmt gray -f rawvideo '" + output.string() + "'");
  EXPECT_NE(log.find("yuyv422, 320x240"), std::string::npos) << log;
  std::ifstream file(output, std::ios::binary);
  const std::vector<unsigned char> luma(std::istreambuf_iterator<char>(file), {});
  ASSERT_EQ(luma.size(), std::size_t{320 * 240 * kFrames}) << log;
  const std::vector<unsigned char> last(luma.end() - 320 * 240, luma.end());
  auto meanOfRows = [&](int firstRow, int rows) {
    const auto begin = last.begin() + firstRow * 320;
    return std::accumulate(begin, begin + rows * 320, 0.0) / (rows * 320);
  };
  const double top = meanOfRows(10, 100);
  const double bottom = meanOfRows(130, 100);
  EXPECT_GT(top, 200) << "the upper half should be white";
  EXPECT_LT(bottom, 40) << "the lower half should be black";
}

TEST(OstrelBridge, SaysWhyItCannotStartAndExplainsItselfOnHelp) {
  test::UserFolders folders;  // an empty runtime folder: no PipeWire to connect to
  const std::string bridge = test::BuiltFile("ostrel-bridge").string();
  struct Case {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {"", 1, "is PipeWire running?"},
      {"--v4l2 /dev/kalimo-no-such-device", 1, "/dev/kalimo-no-such-device"},
      {"--format RGB --v4l2 /dev/null", 2, "usage:"},
      {"--v4l2", 2, "usage:"},
      {"--low-latency maybe", 2, "usage:"},
      {"--help", 0, "v4l2loopback"},
      {"-h", 0, "usage:"},
  };
  for (const auto& c : cases) {
    FILE* pipe = popen((bridge + " " + c.arguments + " 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[1024];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
    const int status = pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << c.arguments << ": " << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << c.arguments << ": " << output;
  }
}

}  // namespace
}  // namespace kalimo
