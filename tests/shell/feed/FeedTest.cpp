// kalimo-feed from the outside (a child process, as scripts run it) and the virtual camera's side
// of the media sources: a GStreamer client of ostrelsrc must see the picture that was fed.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>

#include "common/ApplyDataToOstrel.h"
#include "media/base/MediaResult.h"
#include "media/player/CMyVideoPlayer.h"
#include "platform/RegistryStore.h"
#include "platform/SingleInstance.h"
#include "shell/feed/CameraPreferences.h"
#include "shell/feed/FeedOptions.h"
#include "tests/support/MediaTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

using feed::SourceKind;

// ---- the command line ------------------------------------------------------------------------

struct OptionsCase {
  std::vector<std::string> arguments;
  bool valid;
  SourceKind source;
  std::string argument;
};

TEST(FeedOptionsTest, ParsesSourcesAndRefusesWhatCannotWork) {
  const std::vector<OptionsCase> cases = {
      {{"clip.avi"}, true, SourceKind::Video, "clip.avi"},
      {{"--loop", "--video", "a b.webm", "--record", "m.avi"}, true, SourceKind::Video, "a b.webm"},
      {{"--camera", "Desk Cam", "--snapshot", "p.jpg"}, true, SourceKind::Camera, "Desk Cam"},
      {{"--image", "p.png"}, true, SourceKind::Image, "p.png"},
      {{"--screen"}, true, SourceKind::Screen, ""},
      {{}, false, {}, ""},
      {{"a.avi", "b.avi"}, false, {}, ""},
      {{"--loop", "--camera", "0"}, false, {}, ""},
      {{"--record"}, false, {}, ""},
      {{"--frobnicate", "a.avi"}, false, {}, ""},
      {{"--low-latency", "on"}, true, SourceKind::None, ""},
      {{"--low-latency", "off", "clip.avi"}, true, SourceKind::Video, "clip.avi"},
      {{"--low-latency", "yes"}, false, {}, ""},
      {{"--help"}, true, SourceKind::Help, ""},
      {{"-h"}, true, SourceKind::Help, ""},
      {{"--frobnicate", "--camera", "-h"}, true, SourceKind::Help, ""},  // help wins over any mistake
      {{"-x", "a.avi"}, false, {}, ""},
      {{"--sound", "clip.avi"}, true, SourceKind::Video, "clip.avi"},
      {{"--default-video", "sample.avi"}, true, SourceKind::Video, "sample.avi"},
      {{"--default-video", "sample.avi", "--camera", "0"}, true, SourceKind::Camera, "0"},
      {{"--default-video", "sample.avi", "--screen", "--record", "s.avi"}, true, SourceKind::Screen, ""},
      {{"--default-video"}, false, {}, ""},
      {{"--keep-aspect", "on"}, true, SourceKind::None, ""},
      {{"--keep-aspect", "off", "--low-latency", "on", "clip.avi"}, true, SourceKind::Video, "clip.avi"},
      {{"--keep-aspect", "yes"}, false, {}, ""},
      {{"--keep-aspect"}, false, {}, ""},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto options = feed::ParseFeedOptions(c.arguments, error);
    ASSERT_EQ(options.has_value(), c.valid) << ::testing::PrintToString(c.arguments) << error;
    if (!options) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(options->source, c.source);
    EXPECT_EQ(options->argument, c.argument);
  }
}

TEST(FeedOptionsTest, TheStandInVideoLoopsAndOnlyItDoes) {
  std::string error;
  const auto sample = feed::ParseFeedOptions({"--default-video", "s.avi", "--record", "m.avi"}, error);
  ASSERT_TRUE(sample) << error;
  EXPECT_TRUE(sample->loop);
  EXPECT_FALSE(sample->sound);
  EXPECT_EQ(sample->recordPath, "m.avi");
  const auto given = feed::ParseFeedOptions({"--default-video", "s.avi", "--sound", "clip.avi"}, error);
  ASSERT_TRUE(given) << error;
  EXPECT_FALSE(given->loop);
  EXPECT_TRUE(given->sound);
}

// The camera's mode is kept in its device entry, where every new camera element reads it.
TEST(FeedOptionsTest, TheCamerasChoicesAreKeptForTheRegisteredCamera) {
  test::TempDir config;
  setenv("XDG_CONFIG_HOME", config.Str().c_str(), 1);
  const struct {
    bool (*store)(bool, std::string&);
    const char* value;
  } choices[] = {{feed::StoreCameraLowLatency, platform::kLowLatencyValue},
                 {feed::StoreCameraKeepAspect, platform::kKeepAspectValue}};
  std::string error;
  for (const auto& choice : choices) {
    EXPECT_FALSE(choice.store(true, error));
    EXPECT_NE(error.find("not registered"), std::string::npos) << error;
  }

  int code = 0;
  using platform::RegistryStore;
  ASSERT_TRUE(RegistryStore::CreateKey(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, code));
  for (const auto& choice : choices) {
    for (const bool on : {true, false}) {
      ASSERT_TRUE(choice.store(on, error)) << error;
      EXPECT_EQ(RegistryStore::ReadDword(platform::RegistryRoot::kClassesRoot, platform::kCameraInstanceKey,
                                         choice.value, code),
                std::optional<std::uint32_t>(on ? 1 : 0))
          << choice.value;
    }
  }
  unsetenv("XDG_CONFIG_HOME");
}

// ---- a client of the virtual camera ----------------------------------------------------------

// The camera plugin is loaded from a copy in a temporary folder, so that it can never start a
// main program sitting beside the built plugin; the endpoint lives in a temporary runtime folder.
class VirtualCameraTest : public ::testing::Test {
 protected:
  VirtualCameraTest() {
    std::filesystem::create_directories(temp / "plugins");
    std::filesystem::copy_file(std::filesystem::path(KALIMO_BUILT_PLUGIN), temp / "plugins" / "libgstostrel.so");
    setenv("GST_PLUGIN_PATH", (temp / "plugins").c_str(), 1);
    setenv("GST_REGISTRY", (temp / "registry.bin").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", temp.Str().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1);
    gst_init(nullptr, nullptr);
  }
  ~VirtualCameraTest() override { CloseFrameSection(ProcessFrameSectionHandle()); }

  // Pulls 640 × 480 frames from ostrelsrc until one is red in the middle, for at most ~10 s.
  static bool ClientSeesRed() {
    GError* error = nullptr;
    GstElement* pipeline =
        gst_parse_launch("ostrelsrc ! video/x-raw,format=BGR,width=640,height=480 ! appsink name=sink", &error);
    if (!pipeline) {
      ADD_FAILURE() << (error ? error->message : "no pipeline");
      g_clear_error(&error);
      return false;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    bool red = false;
    for (int i = 0; i < 300 && !red; ++i) {
      GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), GST_SECOND);
      if (!sample) break;
      GstMapInfo map;
      GstBuffer* buffer = gst_sample_get_buffer(sample);
      if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const std::size_t middle = 240 * 1920 + 320 * 3;
        red = map.size >= 640 * 480 * 3 && map.data[middle] < 60 && map.data[middle + 1] < 60 &&
              map.data[middle + 2] > 200;
        gst_buffer_unmap(buffer, &map);
      }
      gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return red;
  }

  test::TempDir temp;
  test::TestSection section;
};

TEST_F(VirtualCameraTest, ClientSeesThePictureOfAPlayingFile) {
  platform::SingleInstanceServer producer;  // the main program "runs": the camera starts nothing
  int error = 0;
  ASSERT_TRUE(producer.Start([](const std::string&) {}, error));
  media::CMyVideoPlayer player;
  ASSERT_EQ(player.OpenFile(nullptr, test::TestMedia("red-320x240.avi").string()), media::kOk);
  EXPECT_TRUE(ClientSeesRed());
}

// ---- kalimo-feed as a program ----------------------------------------------------------------

struct Finished {
  int status = -1;
  std::string output;
  std::string errors;
};

// How the feeder is started: as another user than root (whom no permission stops), with a limit
// on the size of the files it writes.
struct Launch {
  bool notRoot = false;
  rlim_t fileSizeLimit = RLIM_INFINITY;
};

class Feeder {
 public:
  Feeder(const test::TempDir& temp, const std::vector<std::string>& arguments, Launch launch = {}) : temp_(temp) {
    pid_ = fork();
    if (pid_ == 0) {
      freopen((temp.Path() / "out.txt").c_str(), "w", stdout);
      freopen((temp.Path() / "err.txt").c_str(), "w", stderr);
      const rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
      if (launch.notRoot && geteuid() == 0) {
        // The other user gets a runtime folder of its own: the feeder refuses one that is not its own.
        const std::string runtime = (temp.Path() / "runtime-65534").string();
        mkdir(runtime.c_str(), 0700);
        if (chown(runtime.c_str(), 65534, 65534) != 0) _exit(126);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
      }
      // A program folder of its own: the feeder keeps its settings and its log beside the
      // program, and the build's own folder is never written.
      const std::string program = (temp.Path() / "program").string();
      mkdir(program.c_str(), 0700);
      setenv("KALIMO_PROGRAM_DIR", program.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(KALIMO_FEED_PROGRAM)};
      for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(KALIMO_FEED_PROGRAM, argv.data());
      _exit(127);
    }
  }
  ~Feeder() {
    if (pid_ > 0 && !done_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Finished Stop(int signal) {
    kill(pid_, signal);
    return Wait();
  }
  // Waits for the end; a feeder still running after `limit` (which only stops a hung test) is
  // killed and reported with status -1.
  Finished Wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    Finished finished;
    int status = 0;
    const bool ended = test::WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    } else if (WIFEXITED(status)) {
      finished.status = WEXITSTATUS(status);
    }
    done_ = true;
    finished.output = Read("out.txt");
    finished.errors = Read("err.txt");
    return finished;
  }

 private:
  std::string Read(const char* name) const {
    std::ifstream file(temp_.Path() / name);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  const test::TempDir& temp_;
  pid_t pid_ = -1;
  bool done_ = false;
};

std::string RunText(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

TEST_F(VirtualCameraTest, FeederKeepsAClientFedAndStopsCleanlyWithItsRecordingAndPhoto) {
  const std::string movie = (temp / "movie.avi").string();
  const std::string photo = (temp / "photo.jpg").string();
  Feeder feeder(temp, {"--loop", "--record", movie, "--snapshot", photo, test::TestMedia("red-320x240.avi").string()});
  EXPECT_TRUE(ClientSeesRed());
  ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(photo); }));
  // The 2 s file has 30 frames: a movie holding more means the file started again at its end.
  constexpr std::uintmax_t kThirtyFrames = 30u * 230400u;
  ASSERT_TRUE(test::WaitFor([&] {
    std::error_code error;
    const auto size = std::filesystem::file_size(movie, error);
    return !error && size > kThirtyFrames + 100000u;
  }));
  // The feeder serves the endpoint while it feeds: the camera need not start the main program.
  EXPECT_TRUE(platform::ProbeSingleInstance());

  const Finished finished = feeder.Stop(SIGTERM);
  EXPECT_EQ(finished.status, 0) << finished.errors;
  EXPECT_EQ(finished.output.find('\r'), std::string::npos);  // no live status without a terminal
  EXPECT_NE(finished.output.find("frames sent"), std::string::npos);
  EXPECT_FALSE(section.Exists());
  EXPECT_FALSE(platform::ProbeSingleInstance());
  EXPECT_EQ(RunText("ffprobe -v error -select_streams v:0 -show_entries stream=width,height,r_frame_rate -of csv=p=0 '" +
                    movie + "'"),
            "320,240,15/1\n");
  EXPECT_EQ(RunText("identify -format '%m %w %h' '" + photo + "'"), "JPEG 320 240");
}

// An X server of the test's own, on a free display number near one taken from the process id
// (tests run side by side); ready once its socket exists.
class XServer {
 public:
  XServer() {
    int free = 200 + getpid() % 700;
    while (std::filesystem::exists("/tmp/.X" + std::to_string(free) + "-lock")) ++free;
    const std::string number = std::to_string(free);
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDERR_FILENO);
      execlp("Xvfb", "Xvfb", (":" + number).c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    if (test::WaitFor([&] { return std::filesystem::exists("/tmp/.X11-unix/X" + number); }))
      display_ = ":" + number;
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

TEST_F(VirtualCameraTest, FeederSendsTheScreen) {
  XServer x;
  ASSERT_FALSE(x.Display().empty()) << "Xvfb did not start";
  setenv("DISPLAY", x.Display().c_str(), 1);
  const std::string photo = (temp / "screen.jpg").string();
  Feeder feeder(temp, {"--screen", "--snapshot", photo});
  ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(photo) && section.Header().width == 800; }));
  EXPECT_EQ(section.Header().height, 600);
  EXPECT_EQ(feeder.Stop(SIGINT).status, 0);
  EXPECT_EQ(RunText("identify -format '%m %w %h' '" + photo + "'"), "JPEG 800 600");
}

TEST_F(VirtualCameraTest, FeederSendsAPicture) {
  const std::string picture = (temp / "blue picture.png").string();
  ASSERT_EQ(std::system(("convert -size 66x48 xc:blue '" + picture + "'").c_str()), 0);
  Feeder feeder(temp, {"--image", picture});
  ASSERT_TRUE(test::WaitFor([&] { return section.Header().width == 66; }));
  const auto bytes = section.ReadAll();
  EXPECT_EQ(section.Header().byteCount, 200 * 48);  // rows of 198 bytes padded to 200
  EXPECT_EQ(bytes[8], 255);                          // blue, green, red
  EXPECT_EQ(bytes[9], 0);
  EXPECT_EQ(feeder.Stop(SIGTERM).status, 0);
}

TEST_F(VirtualCameraTest, FeederFeedsACameraByNameAndStopsWhenItIsUnplugged) {
  setenv("GST_PLUGIN_PATH", ((temp / "plugins").string() + ":" + KALIMO_TEST_PLUGIN_DIR).c_str(), 1);
  setenv("KALIMO_FAKE_CAMERAS", "Desk Cam|raw:320x240;Short Cam|raw:160x120|frames=30", 1);
  const std::string photo = (temp / "camera.jpg").string();
  {
    Feeder feeder(temp, {"--camera", "Desk Cam", "--snapshot", photo});
    ASSERT_TRUE(test::WaitFor([&] { return std::filesystem::exists(photo) && section.Header().width == 320; }));
    EXPECT_EQ(feeder.Stop(SIGTERM).status, 0);
    EXPECT_EQ(RunText("identify -format '%m %w %h' '" + photo + "'"), "JPEG 320 240");
  }
  Feeder feeder(temp, {"--camera", "1"});
  const Finished finished = feeder.Wait();
  EXPECT_EQ(finished.status, 1);
  EXPECT_NE(finished.errors.find("unplugged"), std::string::npos) << finished.errors;
}

TEST_F(VirtualCameraTest, FeederShowsALiveStatusLineOnATerminal) {
  const std::string picture = (temp / "picture.png").string();
  ASSERT_EQ(std::system(("convert -size 64x48 xc:green '" + picture + "'").c_str()), 0);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("KALIMO_PROGRAM_DIR", temp.Str().c_str(), 1);  // never the build's own folder
    execl(KALIMO_FEED_PROGRAM, KALIMO_FEED_PROGRAM, "--image", picture.c_str(), nullptr);
    _exit(127);
  }
  std::string shown;
  fcntl(terminal, F_SETFL, O_NONBLOCK);
  const bool live = test::WaitFor([&] {
    char buffer[256];
    for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(got));
    return shown.find("\rimage picture.png  64x48  frames ") != std::string::npos;
  });
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  close(terminal);
  EXPECT_TRUE(live) << shown;
  EXPECT_EQ(shown.find("fps"), std::string::npos) << shown;  // a still picture has no rate to show
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Each bad input is refused at once with its real cause, and nothing is left behind.
TEST_F(VirtualCameraTest, FeederTellsWhyItCannotFeed) {
  std::filesystem::permissions(temp.Path(), std::filesystem::perms::all);  // the other user's files go here too
  std::ofstream(temp / "text.mp4") << "not a video";
  std::ofstream(temp / "text.png") << "not a picture";
  std::ofstream(temp / "secret.avi") << "unreadable";
  std::filesystem::permissions(temp / "secret.avi", std::filesystem::perms::none);
  std::filesystem::create_directory(temp / "folder.avi");
  // A plugin folder without the JPEG decoder: the MJPEG file needs a plugin GStreamer lacks.
  const std::filesystem::path plugins = temp / "few-plugins";
  std::filesystem::create_directory(plugins);
  const std::filesystem::path system = GST_PLUGIN_DIR_FOR_TESTS;
  for (const char* name : {"coreelements", "playback", "avi", "typefindfunctions", "app", "videoconvertscale"})
    std::filesystem::create_symlink(system / ("libgst" + std::string(name) + ".so"), plugins / ("libgst" + std::string(name) + ".so"));
  const std::string fewPlugins = "GST_PLUGIN_SYSTEM_PATH_1_0=" + plugins.string();

  struct Case {
    std::vector<std::string> arguments;
    std::string environment;  // NAME=VALUE set for this row only
    int status;
    std::string message;      // in the standard error
    bool notRoot = false;
  };
  const std::string path = temp.Str();
  const std::vector<Case> cases = {
      {{path + "/no such file.avi"}, "", 1, "cannot play " + path + "/no such file.avi: no such file"},
      {{path + "/folder.avi"}, "", 1, "cannot play " + path + "/folder.avi: is a folder"},
      {{path + "/text.mp4"}, "", 1, "text.mp4: not a media file GStreamer can read"},
      {{path + "/secret.avi"}, "", 1, "secret.avi: permission denied", true},
      {{"--image", path + "/no such picture.png"}, "", 1, "no such picture.png: no such file"},
      {{"--image", path + "/text.png"}, "", 1, "text.png: not a picture Qt can read"},
      {{"--image", path + "/secret.avi"}, "", 1, "secret.avi: permission denied", true},
      {{test::TestMedia("red-320x240.avi").string()}, fewPlugins, 1, "GStreamer lacks a plugin for it: JPEG"},
      {{"--camera", "0"}, fewPlugins, 1, "cannot open the camera 0: there is no camera 0 (0 found); see --list-cameras"},
      {{"--camera", "Desk Cam"}, fewPlugins, 1, "no camera is named \"Desk Cam\"; see --list-cameras"},
      {{"--screen"}, "DISPLAY=", 1, "cannot capture the screen: DISPLAY is not set"},
      {{"--screen"}, "DISPLAY=:7391", 1, "cannot capture the screen: display :7391: "},
      {{"--camera"}, "", 2, "--camera needs a value"},
      {{"-x"}, "", 2, "unknown option -x"},
  };
  for (const auto& c : cases) {
    const auto equals = c.environment.find('=');
    const std::string name = c.environment.substr(0, equals);
    if (!name.empty()) setenv(name.c_str(), c.environment.substr(equals + 1).c_str(), 1);
    Feeder feeder(temp, c.arguments, {c.notRoot});
    const Finished finished = feeder.Wait();
    if (!name.empty()) unsetenv(name.c_str());
    EXPECT_EQ(finished.status, c.status) << ::testing::PrintToString(c.arguments) << finished.errors;
    EXPECT_NE(finished.errors.find(c.message), std::string::npos) << ::testing::PrintToString(c.arguments) << finished.errors;
    EXPECT_EQ(finished.errors.find("媒体"), std::string::npos) << finished.errors;  // no text of the windows
  }
  EXPECT_FALSE(section.Exists());
}

TEST_F(VirtualCameraTest, FeederHelpsAndListsWhatItFinds) {
  for (const char* help : {"--help", "-h"}) {
    Feeder feeder(temp, {help});
    const Finished finished = feeder.Wait();
    EXPECT_EQ(finished.status, 0);
    EXPECT_EQ(finished.output.rfind("usage: kalimo-feed", 0), 0u) << finished.output;
    EXPECT_NE(finished.output.find("--snapshot FILE.jpg"), std::string::npos);
    EXPECT_EQ(finished.errors, "");
  }
  setenv("GST_PLUGIN_PATH", (temp / "plugins").c_str(), 1);  // no camera plugin of the tests
  setenv("GST_PLUGIN_SYSTEM_PATH_1_0", (temp / "plugins").c_str(), 1);  // nor the system's cameras
  Feeder none(temp, {"--list-cameras"});
  const Finished finished = none.Wait();
  unsetenv("GST_PLUGIN_SYSTEM_PATH_1_0");
  EXPECT_EQ(finished.status, 0);
  EXPECT_EQ(finished.output, "no cameras found\n");
}

// An output file that cannot be written stops the feeder before it feeds (a looping video would
// otherwise run until stopped), and one that fails later stops it at once; each says the path and
// the system's reason.
TEST_F(VirtualCameraTest, FeederStopsAtOnceWhenAnOutputCannotBeWritten) {
  std::filesystem::permissions(temp.Path(), std::filesystem::perms::all);
  std::filesystem::create_directory(temp / "locked");
  std::filesystem::permissions(temp / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  // A full disk at the first write: links to /dev/full (a failed write must not remove them).
  const std::string full = (temp / "full.avi").string();
  const std::string fullPhoto = (temp / "full.jpg").string();
  std::filesystem::create_symlink("/dev/full", full);
  std::filesystem::create_symlink("/dev/full", fullPhoto);
  const std::string video = test::TestMedia("red-320x240.avi").string();
  struct Case {
    std::string option;
    std::string target;
    std::string message;
    bool notRoot = false;
  };
  const std::vector<Case> cases = {
      {"--record", "/nonexistent/m.avi", "cannot write the movie /nonexistent/m.avi: the folder /nonexistent does not exist"},
      {"--record", temp.Str(), "cannot write the movie " + temp.Str() + ": is a folder"},
      {"--record", (temp / "locked/m.avi").string(), "locked/m.avi: permission denied in the folder", true},
      {"--snapshot", (temp / "locked/p.jpg").string(), "locked/p.jpg: permission denied in the folder", true},
      {"--record", full, "cannot write the movie " + full + ": No space left on device"},
      {"--snapshot", fullPhoto, "cannot save the photo " + fullPhoto + ": No space left on device"},
  };
  for (const auto& c : cases) {
    Feeder feeder(temp, {"--loop", c.option, c.target, video}, {c.notRoot});
    const Finished finished = feeder.Wait();
    EXPECT_EQ(finished.status, 1) << c.target << finished.errors;
    EXPECT_NE(finished.errors.find(c.message), std::string::npos) << finished.errors;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(full));  // a failed write removes only a file of its own
  EXPECT_TRUE(std::filesystem::is_symlink(fullPhoto));

  // A disk that fills up while recording (here: the process's file-size limit of 30 MB, which the
  // 18 MB frame section fits under, about 130 frames) ends the feed at once; the frames written
  // before stay readable.
  const std::string movie = (temp / "limited.avi").string();
  Feeder feeder(temp, {"--loop", "--record", movie, video}, {false, 30'000'000});
  const Finished finished = feeder.Wait();
  EXPECT_EQ(finished.status, 1);
  EXPECT_NE(finished.errors.find("cannot write the movie " + movie + ": File too large"), std::string::npos) << finished.errors;
  const std::string frames = RunText("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '" + movie + "'");
  EXPECT_GT(std::atoi(frames.c_str()), 5) << frames;
}

// A name that does not say what the file holds gets a warning; what was written is told.
TEST_F(VirtualCameraTest, FeederTellsWhatItWroteAndWarnsOfMisleadingNames) {
  const std::string movie = (temp / "movie.mp4").string();
  const std::string photo = (temp / "photo.png").string();
  Feeder feeder(temp, {"--record", movie, "--snapshot", photo, test::TestMedia("red-320x240.avi").string()});
  const Finished finished = feeder.Wait();
  EXPECT_EQ(finished.status, 0) << finished.errors;
  EXPECT_NE(finished.errors.find("warning: " + movie + " will hold an AVI movie"), std::string::npos) << finished.errors;
  EXPECT_NE(finished.errors.find("warning: " + photo + " will hold a JPEG picture"), std::string::npos);
  EXPECT_NE(finished.output.find("photo saved: " + photo + "\n"), std::string::npos) << finished.output;
  std::smatch told;
  ASSERT_TRUE(std::regex_search(finished.output, told, std::regex("movie " + movie + ": ([0-9]+) frames, ([0-9.]+) s\n")))
      << finished.output;
  const std::string counted = RunText("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 '" + movie + "'");
  EXPECT_EQ(told[1].str() + "\n", counted);
  EXPECT_NEAR(std::stod(told[2].str()), std::stod(told[1].str()) / 15.0, 0.05);
  EXPECT_EQ(RunText("identify -format '%m' '" + photo + "'"), "JPEG");
}

// Another user's object under the section's name: the feeder stops at once, naming the owner and
// how to remove the object, instead of feeding nothing.
TEST_F(VirtualCameraTest, FeederStopsWhenAnotherUserHoldsTheSectionName) {
  if (!section.PlantAsOtherUser(static_cast<std::size_t>(kSectionObjectSize))) {
    GTEST_SKIP() << "only root can create an object owned by another user (uid 65534)";
  }
  const std::string picture = (temp / "blue picture.png").string();
  ASSERT_EQ(std::system(("convert -size 66x48 xc:blue '" + picture + "'").c_str()), 0);
  Feeder feeder(temp, {"--image", picture});
  const Finished finished = feeder.Wait();
  EXPECT_EQ(finished.status, 1);
  EXPECT_NE(finished.errors.find("uid 65534"), std::string::npos) << finished.errors;
  EXPECT_NE(finished.errors.find("rm /dev/shm" + section.Name()), std::string::npos) << finished.errors;
  EXPECT_EQ(section.Header().width, 0);  // nothing was written into it
}

}  // namespace
}  // namespace kalimo
