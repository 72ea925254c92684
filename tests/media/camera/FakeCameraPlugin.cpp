// A test-only GStreamer plugin: a device provider that announces the cameras listed in the
// environment variable KALIMO_FAKE_CAMERAS, each backed by videotestsrc.
//
//   KALIMO_FAKE_CAMERAS="Desk Cam|raw:320x240,raw:160x120;Wide Cam|raw:1280x720;Kalimo|raw:640x480|ours"
//
// A camera is "name|formats[|flags]". Formats are raw:WxH, jpeg:WxH or h264:WxH. Flags, comma
// separated: "ours" marks the device as the virtual camera's own (device.api "ostrel"), "bridge" as
// the bridge's PipeWire node (node.name "kalimo-camera"), "frames=N" makes the camera stop after N
// frames (as if unplugged).
//
// Plugging and unplugging: KALIMO_FAKE_CAMERAS_FILE names a file holding the list instead (one
// camera a line, or separated by ";"). While the provider is started (a device monitor watches),
// it reads the file again every 20 ms: a camera that appears in it is plugged in (device-added on
// the provider's bus), one that leaves it is unplugged: device-removed is posted, and every picture
// source made from it fails at its next picture with a read error, as a camera pulled out of its
// socket does.
// The test changes the file by writing a new one and renaming it over the old.
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FakeCamera {
  std::string entry;  // the camera's text in the list: what identifies it between two readings
  std::string name;
  std::vector<std::string> formats;
  bool ours = false;
  bool bridge = false;
  int frames = -1;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

std::vector<FakeCamera> ParseCameras(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ';');
  std::vector<FakeCamera> cameras;
  for (const auto& entry : Split(text, ';')) {
    const auto fields = Split(entry, '|');
    if (fields.size() < 2) continue;
    FakeCamera camera{entry, fields[0], Split(fields[1], ','), false, false, -1};
    if (fields.size() > 2) {
      for (const auto& flag : Split(fields[2], ',')) {
        if (flag == "ours") camera.ours = true;
        if (flag == "bridge") camera.bridge = true;
        if (flag.rfind("frames=", 0) == 0) camera.frames = std::atoi(flag.c_str() + 7);
      }
    }
    cameras.push_back(camera);
  }
  return cameras;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The file to watch, if the test names one.
std::string ControlFile() {
  const char* file = std::getenv("KALIMO_FAKE_CAMERAS_FILE");
  return file ? file : "";
}

std::vector<FakeCamera> ConfiguredCameras() {
  const std::string file = ControlFile();
  if (!file.empty()) return ParseCameras(ReadFile(file));
  const char* text = std::getenv("KALIMO_FAKE_CAMERAS");
  return ParseCameras(text ? text : "");
}

GstCaps* CapsOf(const FakeCamera& camera) {
  GstCaps* caps = gst_caps_new_empty();
  for (const auto& format : camera.formats) {
    const auto colon = format.find(':');
    const auto x = format.find('x', colon);
    if (colon == std::string::npos || x == std::string::npos) continue;
    const std::string kind = format.substr(0, colon);
    const int width = std::atoi(format.substr(colon + 1, x - colon - 1).c_str());
    const int height = std::atoi(format.substr(x + 1).c_str());
    GstStructure* s = nullptr;
    if (kind == "raw") {
      s = gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "YUY2", nullptr);
    } else if (kind == "jpeg") {
      s = gst_structure_new_empty("image/jpeg");
    } else {
      s = gst_structure_new("video/x-h264", "stream-format", G_TYPE_STRING, "byte-stream", nullptr);
    }
    gst_structure_set(s, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION,
                      30, 1, nullptr);
    gst_caps_append_structure(caps, s);
  }
  return caps;
}

}  // namespace

G_BEGIN_DECLS
#define FAKE_TYPE_CAMERA_DEVICE (fake_camera_device_get_type())
G_DECLARE_FINAL_TYPE(FakeCameraDevice, fake_camera_device, FAKE, CAMERA_DEVICE, GstDevice)
#define FAKE_TYPE_CAMERA_PROVIDER (fake_camera_provider_get_type())
G_DECLARE_FINAL_TYPE(FakeCameraProvider, fake_camera_provider, FAKE, CAMERA_PROVIDER, GstDeviceProvider)
G_END_DECLS

struct _FakeCameraDevice {
  GstDevice parent;
  gboolean jpeg;
  gint frames;
  gint unplugged;  // atomic
};

G_DEFINE_TYPE(FakeCameraDevice, fake_camera_device, GST_TYPE_DEVICE)

// On the source's streaming thread, as a real camera's driver fails there: once the device is
// unplugged, the next picture is not delivered, the source reports a read error and stops.
static GstPadProbeReturn fake_camera_device_picture_probe(GstPad* pad, GstPadProbeInfo* info, gpointer device) {
  if (!g_atomic_int_get(&FAKE_CAMERA_DEVICE(device)->unplugged)) return GST_PAD_PROBE_OK;
  GstObject* source = gst_pad_get_parent(pad);
  if (source) {
    GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Could not read from resource.");
    gst_element_post_message(GST_ELEMENT(source), gst_message_new_error(source, error, "the fake camera was unplugged"));
    g_error_free(error);
    gst_object_unref(source);
  }
  gst_buffer_unref(GST_PAD_PROBE_INFO_BUFFER(info));
  GST_PAD_PROBE_INFO_FLOW_RETURN(info) = GST_FLOW_ERROR;
  return GST_PAD_PROBE_HANDLED;
}

static GstElement* fake_camera_device_create_element(GstDevice* device, const gchar* name) {
  auto* self = FAKE_CAMERA_DEVICE(device);
  // A camera that is gone cannot be opened.
  if (g_atomic_int_get(&self->unplugged)) return nullptr;
  // A live test picture; a JPEG camera encodes it, as such cameras do.
  std::string description = "videotestsrc name=picture is-live=true pattern=smpte";
  if (self->frames >= 0) description += " num-buffers=" + std::to_string(self->frames);
  if (self->jpeg) description += " ! jpegenc";
  GError* error = nullptr;
  GstElement* bin = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
  g_clear_error(&error);
  if (!bin) return nullptr;
  if (name) gst_object_set_name(GST_OBJECT(bin), name);
  GstElement* picture = gst_bin_get_by_name(GST_BIN(bin), "picture");
  GstPad* pad = gst_element_get_static_pad(picture, "src");
  gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, fake_camera_device_picture_probe, gst_object_ref(device),
                    gst_object_unref);
  gst_object_unref(pad);
  gst_object_unref(picture);
  return bin;
}

static void fake_camera_device_unplug(FakeCameraDevice* self) { g_atomic_int_set(&self->unplugged, 1); }

static void fake_camera_device_class_init(FakeCameraDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = fake_camera_device_create_element;
}

static void fake_camera_device_init(FakeCameraDevice* self) { self->unplugged = 0; }

static GstDevice* fake_camera_device_new(const FakeCamera& camera) {
  GstCaps* caps = CapsOf(camera);
  GstStructure* properties = gst_structure_new("fake-camera-properties", "device.api", G_TYPE_STRING,
                                               camera.ours ? "ostrel" : camera.bridge ? "pipewire" : "fake",
                                               "node.name", G_TYPE_STRING,
                                               camera.bridge ? "kalimo-camera" : "fake-camera", nullptr);
  auto* device = FAKE_CAMERA_DEVICE(g_object_new(FAKE_TYPE_CAMERA_DEVICE, "display-name", camera.name.c_str(), "caps",
                                                 caps, "device-class", "Video/Source", "properties", properties,
                                                 nullptr));
  device->frames = camera.frames;
  device->jpeg = !camera.formats.empty() && camera.formats.front().rfind("jpeg", 0) == 0;
  gst_caps_unref(caps);
  gst_structure_free(properties);
  return GST_DEVICE(device);
}

namespace {

// What a started provider has announced, and the thread that follows the control file.
struct Plugged {
  std::string file;
  std::string lastText;
  std::vector<std::pair<std::string, GstDevice*>> devices;  // entry text, own reference
  std::atomic<bool> stopping{false};
  std::thread watcher;
};

}  // namespace

struct _FakeCameraProvider {
  GstDeviceProvider parent;
  Plugged* plugged;  // while started
};

G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)

static GList* fake_camera_provider_probe(GstDeviceProvider*) {
  GList* devices = nullptr;
  for (const auto& camera : ConfiguredCameras()) {
    devices = g_list_append(devices, gst_object_ref_sink(fake_camera_device_new(camera)));
  }
  return devices;
}

// Brings the announced devices in line with `cameras`: the gone ones first, then the new ones in
// list order.
static void fake_camera_provider_update(GstDeviceProvider* provider, Plugged& plugged,
                                        const std::vector<FakeCamera>& cameras) {
  auto listed = [&](const std::string& entry) {
    return std::any_of(cameras.begin(), cameras.end(), [&](const FakeCamera& c) { return c.entry == entry; });
  };
  for (auto it = plugged.devices.begin(); it != plugged.devices.end();) {
    if (listed(it->first)) {
      ++it;
      continue;
    }
    fake_camera_device_unplug(FAKE_CAMERA_DEVICE(it->second));
    gst_device_provider_device_remove(provider, it->second);
    gst_object_unref(it->second);
    it = plugged.devices.erase(it);
  }
  for (const auto& camera : cameras) {
    const bool known = std::any_of(plugged.devices.begin(), plugged.devices.end(),
                                   [&](const auto& d) { return d.first == camera.entry; });
    if (known) continue;
    GstDevice* device = GST_DEVICE(gst_object_ref_sink(fake_camera_device_new(camera)));
    plugged.devices.emplace_back(camera.entry, device);
    gst_device_provider_device_add(provider, device);
  }
}

static gboolean fake_camera_provider_start(GstDeviceProvider* provider) {
  auto* self = FAKE_CAMERA_PROVIDER(provider);
  self->plugged = new Plugged;
  Plugged& plugged = *self->plugged;
  plugged.file = ControlFile();
  if (plugged.file.empty()) {
    fake_camera_provider_update(provider, plugged, ConfiguredCameras());
  } else {
    plugged.lastText = ReadFile(plugged.file);
    fake_camera_provider_update(provider, plugged, ParseCameras(plugged.lastText));
    plugged.watcher = std::thread([provider, &plugged] {
      while (!plugged.stopping.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::string text = ReadFile(plugged.file);
        if (text == plugged.lastText) continue;
        plugged.lastText = text;
        fake_camera_provider_update(provider, plugged, ParseCameras(std::move(text)));
      }
    });
  }
  return TRUE;
}

static void fake_camera_provider_stop(GstDeviceProvider* provider) {
  auto* self = FAKE_CAMERA_PROVIDER(provider);
  if (!self->plugged) return;
  self->plugged->stopping.store(true);
  if (self->plugged->watcher.joinable()) self->plugged->watcher.join();
  // The base class lets go of the announced devices after this.
  for (auto& device : self->plugged->devices) gst_object_unref(device.second);
  delete self->plugged;
  self->plugged = nullptr;
}

static void fake_camera_provider_class_init(FakeCameraProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = fake_camera_provider_probe;
  provider->start = fake_camera_provider_start;
  provider->stop = fake_camera_provider_stop;
  gst_device_provider_class_set_static_metadata(provider, "Fake cameras for tests", "Source/Video",
                                                "Announces the cameras of KALIMO_FAKE_CAMERAS", "Kalimo developers");
}

static void fake_camera_provider_init(FakeCameraProvider* self) { self->plugged = nullptr; }

static gboolean plugin_init(GstPlugin* plugin) {
  return gst_device_provider_register(plugin, "kalimofakecameras", GST_RANK_PRIMARY, FAKE_TYPE_CAMERA_PROVIDER);
}

#define PACKAGE "kalimo-tests"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, kalimofakecameras, "Fake cameras for tests", plugin_init,
                  "0.1", "LGPL", "kalimo-tests", "https://kalimo.invalid/")
