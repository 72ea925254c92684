// The camera as a device, and its registration for the current user.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "platform/RegistryStore.h"
#include "tests/filter/GstPluginFixture.h"
#include "tests/support/SectionTestSupport.h"

namespace kalimo {
namespace {

auto* const environment =
    static_cast<test::GstPluginEnvironment*>(::testing::AddGlobalTestEnvironment(new test::GstPluginEnvironment));

struct Result {
  int status = -1;
  std::string output;
};

// Runs a shell command with the test's environment and collects what it prints.
Result RunCommand(const std::string& command) {
  Result result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk{};
  while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), pipe)) result.output.append(chunk.data(), got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Register(const std::string& arguments = "") {
  return test::BuiltFile("ostrel-register").string() + " " + arguments;
}

struct Device {
  std::string name;
  std::string deviceClass;
  std::string instance;
  std::string elementFactory;
  bool offers640x480Bgr = false;
};

std::vector<Device> ProbeDevices() {
  GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("ostreldeviceprovider");
  EXPECT_NE(provider, nullptr);
  if (!provider) return {};
  std::vector<Device> devices;
  GList* list = gst_device_provider_get_devices(provider);
  for (GList* item = list; item; item = item->next) {
    GstDevice* gstDevice = GST_DEVICE(item->data);
    Device device;
    gchar* name = gst_device_get_display_name(gstDevice);
    gchar* deviceClass = gst_device_get_device_class(gstDevice);
    device.name = name;
    device.deviceClass = deviceClass;
    g_free(name);
    g_free(deviceClass);
    if (GstStructure* properties = gst_device_get_properties(gstDevice)) {
      if (const gchar* instance = gst_structure_get_string(properties, "device.instance")) device.instance = instance;
      gst_structure_free(properties);
    }
    GstCaps* caps = gst_device_get_caps(gstDevice);
    GstCaps* wanted = gst_caps_from_string("video/x-raw,format=BGR,width=640,height=480,framerate=30/1");
    device.offers640x480Bgr = caps && gst_caps_can_intersect(caps, wanted);
    gst_caps_unref(wanted);
    if (caps) gst_caps_unref(caps);
    if (GstElement* element = gst_device_create_element(gstDevice, nullptr)) {
      device.elementFactory = GST_OBJECT_NAME(gst_element_get_factory(element));
      gst_object_unref(gst_object_ref_sink(element));
    }
    devices.push_back(device);
  }
  g_list_free_full(list, gst_object_unref);
  gst_object_unref(provider);
  return devices;
}

class OstrelDeviceTest : public ::testing::Test {
 protected:
  OstrelDeviceTest() {
    // Command-line tools get a registry cache of their own.
    setenv("GST_REGISTRY", (folders.Dir() / "tools-registry.bin").c_str(), 1);
  }
  ~OstrelDeviceTest() override { setenv("GST_REGISTRY", (environment->Folder() / "registry.bin").c_str(), 1); }

  test::UserFolders folders;
  std::filesystem::path link = folders.Dir() / "data" / "gstreamer-1.0" / "plugins" / "libgstostrel.so";
};

TEST_F(OstrelDeviceTest, RegisteringShowsTheCameraUnderItsNameAndUnregisteringRemovesIt) {
  EXPECT_TRUE(ProbeDevices().empty());  // not registered: no device

  const Result registered = RunCommand(Register());
  ASSERT_EQ(registered.status, 0) << registered.output;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::canonical(link), std::filesystem::canonical(test::BuiltFile("libgstostrel.so")));

  auto devices = ProbeDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "Kalimo摄像头");
  EXPECT_EQ(devices[0].deviceClass, "Video/Source");
  EXPECT_EQ(devices[0].instance, "Virtual Camera");
  EXPECT_EQ(devices[0].elementFactory, "ostrelsrc");
  EXPECT_TRUE(devices[0].offers640x480Bgr);

  // The settings dialog renames the entry; the next probe shows the new name.
  int error = 0;
  ASSERT_TRUE(platform::RegistryStore::WriteString(platform::RegistryRoot::kClassesRoot,
                                                   platform::kCameraInstanceKey, platform::kFriendlyNameValue,
                                                   "My Cam", error));
  devices = ProbeDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "My Cam");

  ASSERT_EQ(RunCommand(Register()).status, 0);  // registering again restores the name
  devices = ProbeDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "Kalimo摄像头");

  const Result removed = RunCommand(Register("--uninstall"));
  ASSERT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_TRUE(ProbeDevices().empty());
  EXPECT_EQ(RunCommand(Register("--uninstall")).status, 0);  // nothing left to remove is fine
}

TEST_F(OstrelDeviceTest, ApplicationsFindTheRegisteredPluginWithoutBeingToldWhere) {
#ifdef KALIMO_SANITIZED_BUILD
  GTEST_SKIP() << "GStreamer's own tools cannot load a plugin built with AddressSanitizer; the normal build runs this";
#endif
  ASSERT_EQ(RunCommand(Register()).status, 0);
  // GStreamer's own tools, with the user's plugin folder as the only way to the plugin.
  const Result inspected = RunCommand("env -u GST_PLUGIN_PATH gst-inspect-1.0 ostrelsrc");
  EXPECT_EQ(inspected.status, 0) << inspected.output;
  const Result monitored = RunCommand("env -u GST_PLUGIN_PATH gst-device-monitor-1.0 Video/Source");
  EXPECT_NE(monitored.output.find("Kalimo摄像头"), std::string::npos) << monitored.output;

  ASSERT_EQ(RunCommand(Register("--uninstall")).status, 0);
  EXPECT_NE(RunCommand("env -u GST_PLUGIN_PATH gst-inspect-1.0 ostrelsrc").status, 0);
  EXPECT_EQ(RunCommand("env -u GST_PLUGIN_PATH gst-device-monitor-1.0 Video/Source").output.find("Kalimo摄像头"),
            std::string::npos);
}

TEST_F(OstrelDeviceTest, TheDeviceMonitorListsTheCamera) {
  ASSERT_EQ(RunCommand(Register()).status, 0);
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  ASSERT_TRUE(gst_device_monitor_start(monitor));
  std::vector<std::string> names;
  GList* devices = gst_device_monitor_get_devices(monitor);
  for (GList* item = devices; item; item = item->next) {
    gchar* name = gst_device_get_display_name(GST_DEVICE(item->data));
    names.emplace_back(name);
    g_free(name);
  }
  g_list_free_full(devices, gst_object_unref);
  gst_device_monitor_stop(monitor);
  gst_object_unref(monitor);
  EXPECT_NE(std::find(names.begin(), names.end(), "Kalimo摄像头"), names.end());
}

TEST_F(OstrelDeviceTest, RegistrationFailuresAreReportedAndLoseNothing) {
  const Result missing = RunCommand(Register("--plugin /nonexistent/libgstostrel.so"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("/nonexistent/libgstostrel.so"), std::string::npos) << missing.output;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

  const auto store = std::filesystem::path(platform::RegistryStore::FilePath());
  std::filesystem::create_directories(store.parent_path());
  // A damaged line does not stop the registration, and stays in the store as it was.
  const std::string damaged = "[HKEY_CLASSES_ROOT\\X]\nnot a value\n";
  std::ofstream(store, std::ios::binary) << damaged;
  const Result registered = RunCommand(Register());
  EXPECT_EQ(registered.status, 0) << registered.output;
  EXPECT_NE(registered.output.find("line 2"), std::string::npos) << registered.output;
  std::ifstream in(store, std::ios::binary);
  const std::string kept(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(kept.find("[HKEY_CLASSES_ROOT\\X]\nnot a value\n"), std::string::npos) << kept;
  EXPECT_NE(kept.find("Virtual Camera"), std::string::npos) << kept;

  EXPECT_EQ(RunCommand(Register("--bogus")).status, 2);
  // --help explains and registers nothing.
  std::filesystem::remove(link);
  const Result help = RunCommand(Register("--help"));
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--uninstall"), std::string::npos) << help.output;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

}  // namespace
}  // namespace kalimo
