// A test-only GStreamer plugin: a device provider that announces the cameras listed in the
// environment variable KALIMO_FAKE_CAMERAS, each backed by videotestsrc.
//
//   KALIMO_FAKE_CAMERAS="Desk Cam|raw:320x240,raw:160x120;Wide Cam|raw:1280x720;Kalimo|raw:640x480|ours"
//
// A camera is "name|formats[|flags]". Formats are raw:WxH, jpeg:WxH or h264:WxH. Flags, comma
// separated: "ours" marks the device as the virtual camera's own (device.api "ostrel"), "bridge" as
// the bridge's PipeWire node (node.name "kalimo-camera"), "frames=N" makes the camera stop after N
// frames (as if unplugged).
#include <gst/gst.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct FakeCamera {
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

std::vector<FakeCamera> ConfiguredCameras() {
  std::vector<FakeCamera> cameras;
  const char* text = std::getenv("KALIMO_FAKE_CAMERAS");
  if (!text) return cameras;
  for (const auto& entry : Split(text, ';')) {
    const auto fields = Split(entry, '|');
    if (fields.size() < 2) continue;
    FakeCamera camera{fields[0], Split(fields[1], ','), false, false, -1};
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
};

G_DEFINE_TYPE(FakeCameraDevice, fake_camera_device, GST_TYPE_DEVICE)

static GstElement* fake_camera_device_create_element(GstDevice* device, const gchar* name) {
  auto* self = FAKE_CAMERA_DEVICE(device);
  // A live test picture; a JPEG camera encodes it, as such cameras do.
  std::string description = "videotestsrc is-live=true pattern=smpte";
  if (self->frames >= 0) description += " num-buffers=" + std::to_string(self->frames);
  if (self->jpeg) description += " ! jpegenc";
  GError* error = nullptr;
  GstElement* bin = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
  g_clear_error(&error);
  if (bin && name) gst_object_set_name(GST_OBJECT(bin), name);
  return bin;
}

static void fake_camera_device_class_init(FakeCameraDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = fake_camera_device_create_element;
}

static void fake_camera_device_init(FakeCameraDevice*) {}

struct _FakeCameraProvider {
  GstDeviceProvider parent;
};

G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)

static GList* fake_camera_provider_probe(GstDeviceProvider*) {
  GList* devices = nullptr;
  for (const auto& camera : ConfiguredCameras()) {
    GstCaps* caps = CapsOf(camera);
    GstStructure* properties = gst_structure_new("fake-camera-properties", "device.api", G_TYPE_STRING,
                                                 camera.ours ? "ostrel" : camera.bridge ? "pipewire" : "fake",
                                                 "node.name", G_TYPE_STRING,
                                                 camera.bridge ? "kalimo-camera" : "fake-camera", nullptr);
    auto* device = FAKE_CAMERA_DEVICE(g_object_new(FAKE_TYPE_CAMERA_DEVICE, "display-name", camera.name.c_str(),
                                                   "caps", caps, "device-class", "Video/Source", "properties",
                                                   properties, nullptr));
    device->frames = camera.frames;
    device->jpeg = !camera.formats.empty() && camera.formats.front().rfind("jpeg", 0) == 0;
    gst_caps_unref(caps);
    gst_structure_free(properties);
    devices = g_list_append(devices, gst_object_ref_sink(device));
  }
  return devices;
}

static void fake_camera_provider_class_init(FakeCameraProviderClass* klass) {
  GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
  provider->probe = fake_camera_provider_probe;
  gst_device_provider_class_set_static_metadata(provider, "Fake cameras for tests", "Source/Video",
                                                "Announces the cameras of KALIMO_FAKE_CAMERAS", "Kalimo developers");
}

static void fake_camera_provider_init(FakeCameraProvider*) {}

static gboolean plugin_init(GstPlugin* plugin) {
  return gst_device_provider_register(plugin, "kalimofakecameras", GST_RANK_PRIMARY, FAKE_TYPE_CAMERA_PROVIDER);
}

#define PACKAGE "kalimo-tests"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, kalimofakecameras, "Fake cameras for tests", plugin_init,
                  "0.1", "LGPL", "kalimo-tests", "https://kalimo.invalid/")
