#include "filter/gst/gstostreldeviceprovider.h"

#include <optional>
#include <string>

#include "filter/gst/gstostrelsrc.h"
#include "platform/RegistryStore.h"

GST_DEBUG_CATEGORY_STATIC(gst_ostrel_device_provider_debug);
#define GST_CAT_DEFAULT gst_ostrel_device_provider_debug

namespace {
constexpr const char* kInstanceName = "Virtual Camera";

// The FriendlyName of the device entry, read afresh: the settings dialog may have renamed it.
std::optional<std::string> ReadFriendlyName() {
  int error = 0;
  auto name = kalimo::platform::RegistryStore::ReadString(kalimo::platform::RegistryRoot::kClassesRoot,
                                                          kalimo::platform::kCameraInstanceKey,
                                                          kalimo::platform::kFriendlyNameValue, error);
  if (name) return name;
#ifdef KALIMO_PACKAGED_PROGRAM_DIR
  // The packaged plugin serves every user: one who never registered sees the camera under its
  // registered name; an entry without a name is one the user unregistered.
  if (!kalimo::platform::RegistryStore::KeyExists(kalimo::platform::RegistryRoot::kClassesRoot,
                                                  kalimo::platform::kCameraInstanceKey, error))
    return std::string(kalimo::platform::kRegisteredCameraName);
#endif
  GST_DEBUG("no camera entry (error %d): the camera is not registered", error);
  return name;
}
}  // namespace

struct _GstOstrelDevice {
  GstDevice parent;
};

G_DEFINE_TYPE(GstOstrelDevice, gst_ostrel_device, GST_TYPE_DEVICE)

static GstElement* gst_ostrel_device_create_element(GstDevice*, const gchar* name) {
  return gst_element_factory_make("ostrelsrc", name);
}

static void gst_ostrel_device_class_init(GstOstrelDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = gst_ostrel_device_create_element;
}

static void gst_ostrel_device_init(GstOstrelDevice*) {}

static GstDevice* gst_ostrel_device_new(const std::string& friendlyName) {
  GstCaps* caps = gst_ostrel_src_offered_caps();
  GstStructure* properties = gst_structure_new("ostrel-device-properties", "device.api", G_TYPE_STRING, "ostrel",
                                               "device.instance", G_TYPE_STRING, kInstanceName, "device.description",
                                               G_TYPE_STRING, friendlyName.c_str(), nullptr);
  GstDevice* device = GST_DEVICE(g_object_new(GST_TYPE_OSTREL_DEVICE, "display-name", friendlyName.c_str(), "caps",
                                              caps, "device-class", "Video/Source", "properties", properties,
                                              nullptr));
  gst_caps_unref(caps);
  gst_structure_free(properties);
  return device;
}

struct _GstOstrelDeviceProvider {
  GstDeviceProvider parent;
};

G_DEFINE_TYPE(GstOstrelDeviceProvider, gst_ostrel_device_provider, GST_TYPE_DEVICE_PROVIDER)

static GList* gst_ostrel_device_provider_probe(GstDeviceProvider*) {
  const auto name = ReadFriendlyName();
  if (!name) return nullptr;
  return g_list_append(nullptr, gst_object_ref_sink(gst_ostrel_device_new(*name)));
}

static void gst_ostrel_device_provider_class_init(GstOstrelDeviceProviderClass* klass) {
  GST_DEBUG_CATEGORY_INIT(gst_ostrel_device_provider_debug, "ostreldeviceprovider", 0,
                          "Kalimo virtual camera device provider");
  GstDeviceProviderClass* provider_class = GST_DEVICE_PROVIDER_CLASS(klass);
  provider_class->probe = gst_ostrel_device_provider_probe;
  gst_device_provider_class_set_static_metadata(provider_class, "Kalimo virtual camera device provider",
                                                "Source/Video", "Lists the Kalimo virtual camera",
                                                "Kalimo developers");
}

static void gst_ostrel_device_provider_init(GstOstrelDeviceProvider*) {}
