// The camera starts the main program found beside its real plugin file, once, and only when the
// main program does not serve its single-instance endpoint.
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/SingleInstance.h"
#include "tests/filter/GstPluginFixture.h"
#include "tests/support/SectionTestSupport.h"

namespace kalimo {
namespace {

std::filesystem::path programFolder;  // where the stand-in program lies

// The plugin's real file and a stand-in "kalimo" live in one folder; GStreamer finds the plugin
// through a symbolic link in another, as after ostrel-register.
class LinkedPluginEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<test::TempDir>();
    const auto real = folder_->Path() / "program";
    programFolder = real;
    const auto linked = folder_->Path() / "plugins";
    std::filesystem::create_directories(real);
    std::filesystem::create_directories(linked);
    std::filesystem::copy_file(test::BuiltFile("libgstostrel.so"), real / "libgstostrel.so");
    std::filesystem::create_symlink(real / "libgstostrel.so", linked / "libgstostrel.so");
    std::ofstream(real / "kalimo") << "#!/bin/sh\necho \"started by $PPID in $(pwd -P)\" >> \"$KALIMO_TEST_LAUNCH_RECORD\"\n";
    std::filesystem::permissions(real / "kalimo", std::filesystem::perms::owner_all);
    setenv("GST_PLUGIN_PATH", linked.c_str(), 1);
    setenv("GST_REGISTRY", (folder_->Path() / "registry.bin").c_str(), 1);
    // Load plugins in this process: a sanitizer build of the plugin needs the test's runtime.
    setenv("GST_REGISTRY_FORK", "no", 1);
    gst_init(nullptr, nullptr);
  }

 private:
  std::unique_ptr<test::TempDir> folder_;
};

auto* const environment = ::testing::AddGlobalTestEnvironment(new LinkedPluginEnvironment);

// Runs `pipeline` until its three buffers have gone through, then stops it.
void RunThreeBuffers(GstElement* pipeline) {
  ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND,
                                                   static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(GST_MESSAGE_TYPE(message), GST_MESSAGE_EOS);
  gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(LaunchMainProgram, StartsTheProgramBesideThePluginOnceAndNeverWhileItRuns) {
  test::UserFolders folders;
  const auto record = folders.Dir() / "launches.txt";
  setenv("KALIMO_TEST_LAUNCH_RECORD", record.c_str(), 1);

  // While the main program serves its endpoint, a client's first buffer starts nothing.
  {
    platform::SingleInstanceServer running;
    int error = 0;
    ASSERT_TRUE(running.Start(nullptr, error)) << error;
    GstElement* pipeline = gst_parse_launch("ostrelsrc num-buffers=3 ! fakesink", nullptr);
    RunThreeBuffers(pipeline);
    gst_object_unref(pipeline);
  }

  // Without it, the first buffer of an element's life starts the program; a second run of the same
  // element does not.
  GstElement* pipeline = gst_parse_launch("ostrelsrc num-buffers=3 ! fakesink", nullptr);
  RunThreeBuffers(pipeline);
  RunThreeBuffers(pipeline);
  gst_object_unref(pipeline);

  for (int i = 0; i < 500 && Lines(record).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // room for a wrong second start to show
  const auto lines = Lines(record);
  ASSERT_EQ(lines.size(), 1u);
  // Detached: the program is not this client's child; started in its own folder, where it finds its
  // log configuration.
  EXPECT_EQ(lines[0].rfind("started by " + std::to_string(getpid()) + " ", 0), std::string::npos) << lines[0];
  const std::size_t in = lines[0].find(" in ");
  ASSERT_NE(in, std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].substr(in + 4), std::filesystem::canonical(programFolder).string()) << lines[0];
}

}  // namespace
}  // namespace kalimo
