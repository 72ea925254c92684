#include "media/camera/CCaptureVideo.h"

#include <gst/gst.h>

#include <cstring>

#include "common/Logging.h"
#include "common/Messages.h"
#include "media/base/GStreamerStart.h"
#include "media/base/MediaResult.h"
#include "media/base/VideoSourceMonitor.h"
#include "media/camera/CSampleGrabberCB.h"
#include "media/camera/CameraList.h"

namespace kalimo::media {

namespace {

constexpr const char* kNoInterfacesText = "Failed to get video interfaces!";
constexpr const char* kNoGrabberText = "Fail to create SampleGrabber, maybe the GStreamer base plugins are not installed?";
constexpr const char* kCannotBuildText = "Can’t build the graph";

struct Device {
  GstDevice* device = nullptr;  // owned
  CameraEntry entry;
};

class DeviceList {
 public:
  DeviceList() = default;
  ~DeviceList() {
    for (auto& d : devices) gst_object_unref(d.device);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  std::vector<Device> devices;
  std::vector<CameraEntry> Entries() const {
    std::vector<CameraEntry> entries;
    for (const auto& d : devices) entries.push_back(d.entry);
    return entries;
  }
};

bool StartsWith(const char* text, const char* prefix) {
  return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The virtual camera announced by its own device provider, or published by the bridge as a
// PipeWire node: either way, it is ours whatever its name.
bool IsOurDevice(GstDevice* device) {
  GstStructure* properties = gst_device_get_properties(device);
  if (!properties) return false;
  const char* api = gst_structure_get_string(properties, "device.api");
  const char* node = gst_structure_get_string(properties, "node.name");
  const bool ours = (api && std::strcmp(api, "ostrel") == 0) || StartsWith(node, "kalimo") || StartsWith(node, "ostrel");
  gst_structure_free(properties);
  return ours;
}

void Enumerate(DeviceList& list) {
  // The shared monitor: one of our own would silence the one that watches for cameras.
  GList* found = gst_device_monitor_get_devices(VideoSourceMonitor());
  for (GList* item = found; item; item = item->next) {
    auto* device = GST_DEVICE(item->data);
    gchar* name = gst_device_get_display_name(device);
    Device entry{device, {}};
    if (name && *name) entry.entry.name = std::string(name);
    entry.entry.ours = IsOurDevice(device);
    g_free(name);
    list.devices.push_back(entry);  // takes the list's reference
  }
  g_list_free(found);
}

// A size offered by one caps structure: a fixed value, or the top of a range.
bool StructureSize(const GstStructure* s, FrameSize& size) {
  auto read = [&](const char* field, int& out) {
    const GValue* value = gst_structure_get_value(s, field);
    if (!value) return false;
    if (G_VALUE_HOLDS_INT(value)) out = g_value_get_int(value);
    else if (GST_VALUE_HOLDS_INT_RANGE(value)) out = gst_value_get_int_range_max(value);
    else return false;
    return true;
  };
  return read("width", size.width) && read("height", size.height);
}

bool StructureOffers(const GstStructure* s, FrameSize size) {
  GstStructure* wanted = gst_structure_new(gst_structure_get_name(s), "width", G_TYPE_INT, size.width, "height",
                                           G_TYPE_INT, size.height, nullptr);
  const bool offers = gst_structure_can_intersect(s, wanted);
  gst_structure_free(wanted);
  return offers;
}

// What the camera sends and how it becomes raw pictures.
struct SourceFormat {
  std::string media;  // "video/x-raw" or "image/jpeg"
  FrameSize size;
};

bool Usable(const GstStructure* s) {
  return gst_structure_has_name(s, "video/x-raw") || gst_structure_has_name(s, "image/jpeg");
}

// Prefers the chosen size in a raw format, then in JPEG; else the largest usable size, scaled.
std::optional<SourceFormat> PickSourceFormat(GstCaps* caps, FrameSize chosen, FrameSize largest) {
  for (const char* media : {"video/x-raw", "image/jpeg"}) {
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
      const GstStructure* s = gst_caps_get_structure(caps, i);
      if (gst_structure_has_name(s, media) && StructureOffers(s, chosen)) return SourceFormat{media, chosen};
    }
  }
  for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
    const GstStructure* s = gst_caps_get_structure(caps, i);
    FrameSize size;
    if (Usable(s) && StructureSize(s, size) && size == largest) return SourceFormat{gst_structure_get_name(s), size};
  }
  return std::nullopt;
}

}  // namespace

CCaptureVideo::CCaptureVideo(std::string virtualCameraName)
    : virtualCameraName_(std::move(virtualCameraName)), ready_(StartGStreamer()) {}

CCaptureVideo::~CCaptureVideo() { CloseCamera(); }

int CCaptureVideo::EnumCameras(std::vector<std::string>& names) {
  names.clear();
  if (!ready_) return -1;
  DeviceList list;
  Enumerate(list);
  return ListCameraNames(list.Entries(), virtualCameraName_, names);
}

int CCaptureVideo::OpenCamera(int index, VideoWindow* previewWindow, FrameSize requestedSize) {
  CloseCamera();
  if (!ready_) {
    ShowWarning(kNoInterfacesText);
    return kFail;
  }
  DeviceList list;
  Enumerate(list);
  const auto at = DeviceAtPosition(list.Entries(), virtualCameraName_, index);
  if (!at) return kFalse;
  const int result = Start(list.devices[*at].device, previewWindow, requestedSize);
  // A camera that did not start leaves nothing running behind it.
  if (Failed(result)) CloseCamera();
  return result;
}

int CCaptureVideo::Start(GstDevice* device, VideoWindow* previewWindow, FrameSize requestedSize) {
  GstElement* camera = gst_device_create_element(device, nullptr);
  if (!camera) return kFail;
  graph_ = gst_pipeline_new("camera");
  gst_object_ref_sink(graph_);
  gst_bin_add(GST_BIN(graph_), camera);

  // The size: the requested one unless the camera's largest format is smaller, or of another
  // shape without offering the requested size.
  GstCaps* caps = gst_device_get_caps(device);
  std::vector<FrameSize> offered;
  auto requestedOffered = RequestedSizeOffered::No;
  for (guint i = 0; caps && i < gst_caps_get_size(caps); ++i) {
    const GstStructure* s = gst_caps_get_structure(caps, i);
    FrameSize size;
    if (StructureSize(s, size)) offered.push_back(size);
    if (Usable(s) && StructureOffers(s, requestedSize)) requestedOffered = RequestedSizeOffered::Yes;
  }
  FrameSize chosen = requestedSize;
  std::optional<SourceFormat> format;
  if (const auto largest = LargestFormat(offered)) {
    chosen = ChooseCaptureSize(*largest, requestedSize, requestedOffered);
    CSampleGrabberCB::Preview().SetLargestSize(*largest);
    format = PickSourceFormat(caps, chosen, *largest);
  }
  if (caps) gst_caps_unref(caps);
  if (!format) {
    // No raw or JPEG pictures at any size this program can read.
    ShowWarning(std::string(kCannotBuildText) + FormatResultText(kUnsupportedStream));
    return kUnsupportedStream;
  }

  const std::string sizeCaps =
      "width=" + std::to_string(chosen.width) + ",height=" + std::to_string(chosen.height);
  sink_ = std::make_unique<BgrFrameSink>(
      [](const FrameView& frame) { CSampleGrabberCB::Preview().BufferCB(0, frame); },
      [previewWindow] {
        if (previewWindow) previewWindow->PreviewFrameArrived();
      },
      sizeCaps.c_str());
  GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
  GstElement* decoder = format->media == "image/jpeg" ? gst_element_factory_make("jpegdec", nullptr) : nullptr;
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  if (!sink_->IsValid() || !filter || !scale || (format->media == "image/jpeg" && !decoder)) {
    for (GstElement* e : {filter, decoder, scale})
      if (e) gst_object_unref(e);
    ShowWarning(kNoGrabberText);
    return kFail;
  }
  const std::string sourceCaps = format->media + ",width=" + std::to_string(format->size.width) +
                                 ",height=" + std::to_string(format->size.height);
  GstCaps* filterCaps = gst_caps_from_string(sourceCaps.c_str());
  g_object_set(filter, "caps", filterCaps, nullptr);
  gst_caps_unref(filterCaps);
  gst_bin_add_many(GST_BIN(graph_), filter, scale, sink_->Element(), nullptr);
  if (decoder) gst_bin_add(GST_BIN(graph_), decoder);
  const bool linked = gst_element_link(camera, filter) &&
                      (decoder ? gst_element_link_many(filter, decoder, scale, nullptr)
                               : gst_element_link(filter, scale)) &&
                      gst_element_link(scale, sink_->Element());
  if (!linked) {
    ShowWarning(std::string(kCannotBuildText) + FormatResultText(kUnsupportedStream));
    return kUnsupportedStream;
  }

  // Frames may come before the start is confirmed; the tap must know their size by then.
  CSampleGrabberCB::Preview().SetFrameSize(chosen);
  events_.Attach(graph_);
  if (gst_element_set_state(graph_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    // The error message on the bus, read below, says why.
  }
  GstBus* bus = gst_element_get_bus(graph_);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, static_cast<GstClockTime>(kStartTimeoutNs),
      static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE));
  gst_object_unref(bus);
  if (!message) {
    ShowWarning("");
    return kTimeout;
  }
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const int result = ResultOfError(error);
    KALIMO_LOG_ERROR("camera: %s", error ? error->message : "?");
    g_clear_error(&error);
    gst_message_unref(message);
    ShowWarning(std::string(kCannotBuildText) + FormatResultText(result));
    return result;
  }
  gst_message_unref(message);
  int width = 0;
  int height = 0;
  if (!sink_->NegotiatedSize(width, height)) {
    ShowWarning("Failt to read the connected media type");
    return kFail;
  }
  frameWidth_ = width;
  frameHeight_ = height;
  events_.SetLoading(false);
  events_.SetOwner(previewWindow);
  return kOk;
}

void CCaptureVideo::CloseCamera() {
  ReleasePipeline(graph_, events_);
  sink_.reset();
}

bool CCaptureVideo::ReadPreviewFrame(const BgrFrameReader& reader) const {
  return sink_ && sink_->ReadLatestFrame(reader);
}

}  // namespace kalimo::media
