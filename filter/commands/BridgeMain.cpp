// ostrel-bridge: makes the virtual camera reachable for applications that do not use GStreamer.
//
//   ostrel-bridge                      publish a PipeWire camera node (browsers, chat clients, and
//                                      V4L2-only programs through pw-v4l2)
//   ostrel-bridge --v4l2 /dev/videoN   write into a v4l2loopback device instead
//   --low-latency on|off               the newest picture at once, or the steady default (without
//                                      the option: the choice kept in the camera's device entry)
//
// The node carries the camera's friendly name. In PipeWire mode the camera runs only while a
// consumer streams from the node, so the main program is started when a consumer starts watching,
// not when the bridge starts.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <glib-unix.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "filter/commands/OstrelRegistration.h"
#include "filter/commands/PipeWireCamera.h"
#include "platform/RegistryStore.h"

namespace {

struct Options {
  std::string v4l2Device;
  std::string v4l2Format = "YUY2";
  std::string lowLatency;  // "on", "off", or empty for the device entry's choice
};

struct Bridge {
  GMainLoop* loop = nullptr;
  GstElement* pipeline = nullptr;
  kalimo::PipeWireCamera camera;
  std::string source = "ostrelsrc";  // the camera element with its options
  int status = 0;
};

std::string FriendlyName() {
  int error = 0;
  auto name = kalimo::platform::RegistryStore::ReadString(kalimo::platform::RegistryRoot::kClassesRoot,
                                                          kalimo::platform::kCameraInstanceKey,
                                                          kalimo::platform::kFriendlyNameValue, error);
  if (name && !name->empty()) return *name;
  std::fprintf(stderr, "The camera is not registered (run ostrel-register); using the name %s.\n",
               kalimo::kRegisteredCameraName);
  return kalimo::kRegisteredCameraName;
}

gboolean OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
  auto* bridge = static_cast<Bridge*>(data);
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::fprintf(stderr, "ostrel-bridge: %s\n", error ? error->message : "pipeline error");
    g_clear_error(&error);
    bridge->status = 1;
    g_main_loop_quit(bridge->loop);
  }
  return TRUE;
}

void StopPipeline(Bridge& bridge) {
  if (!bridge.pipeline) return;
  gst_element_set_state(bridge.pipeline, GST_STATE_NULL);
  gst_bus_remove_watch(GST_ELEMENT_BUS(bridge.pipeline));
  gst_object_unref(bridge.pipeline);
  bridge.pipeline = nullptr;
}

bool StartPipeline(Bridge& bridge, const std::string& description) {
  GError* error = nullptr;
  bridge.pipeline = gst_parse_launch(description.c_str(), &error);
  if (!bridge.pipeline) {
    std::fprintf(stderr, "ostrel-bridge: %s\n", error ? error->message : "cannot build the pipeline");
    g_clear_error(&error);
    return false;
  }
  gst_bus_add_watch(GST_ELEMENT_BUS(bridge.pipeline), OnBusMessage, &bridge);
  if (gst_element_set_state(bridge.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    // The element that failed has posted the reason (a missing or busy device, say).
    GstMessage* message = gst_bus_pop_filtered(GST_ELEMENT_BUS(bridge.pipeline), GST_MESSAGE_ERROR);
    GError* reason = nullptr;
    gchar* details = nullptr;
    if (message) gst_message_parse_error(message, &reason, &details);
    std::fprintf(stderr, "ostrel-bridge: cannot start the camera: %s%s%s\n", reason ? reason->message : "unknown error",
                 details ? "\n  " : "", details ? details : "");
    g_clear_error(&reason);
    g_free(details);
    if (message) gst_message_unref(message);
    StopPipeline(bridge);
    return false;
  }
  return true;
}

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  auto* bridge = static_cast<Bridge*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_EOS;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstMapInfo map;
  if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    bridge->camera.PushFrame(map.data, map.size, GST_BUFFER_PTS(buffer));
    gst_buffer_unmap(buffer, &map);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

// Runs on the main loop: the camera element lives only while a consumer streams.
struct StreamingChange {
  Bridge* bridge;
  bool streaming;
  kalimo::PipeWireCamera::Format format;
};

gboolean ApplyStreamingChange(gpointer data) {
  std::unique_ptr<StreamingChange> change(static_cast<StreamingChange*>(data));
  Bridge& bridge = *change->bridge;
  StopPipeline(bridge);
  if (!change->streaming) return G_SOURCE_REMOVE;
  const auto& format = change->format;
  const std::string description = bridge.source + " ! video/x-raw,width=" + std::to_string(format.width) +
                                  ",height=" + std::to_string(format.height) +
                                  " ! videoconvert ! video/x-raw,format=" + kalimo::GstFormatName(format.pixelFormat) +
                                  " ! appsink name=sink max-buffers=2 drop=true sync=false";
  if (!StartPipeline(bridge, description)) {
    bridge.status = 1;
    g_main_loop_quit(bridge.loop);
    return G_SOURCE_REMOVE;
  }
  GstElement* sink = gst_bin_get_by_name(GST_BIN(bridge.pipeline), "sink");
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &bridge, nullptr);
  gst_object_unref(sink);
  return G_SOURCE_REMOVE;
}

gboolean OnSignal(gpointer data) {
  g_main_loop_quit(static_cast<Bridge*>(data)->loop);
  return G_SOURCE_CONTINUE;
}

void PrintUsage(FILE* to, const char* program) {
  std::fprintf(to, "usage: %s [--v4l2 /dev/videoN [--format YUY2|I420|NV12]] [--low-latency on|off]\n", program);
}

void PrintHelp(const char* program) {
  PrintUsage(stdout, program);
  std::printf(
      "Makes the virtual camera reachable for programs that do not use GStreamer: publishes it as a\n"
      "PipeWire camera node (browsers, chat programs; V4L2-only programs through pw-v4l2), or writes\n"
      "it into a v4l2loopback device. Runs until Ctrl-C.\n"
      "  --v4l2 /dev/videoN   write into this v4l2loopback device instead of publishing a node\n"
      "  --format F           the device's pixel format (default YUY2)\n"
      "  --low-latency on|off the newest picture at once, or the steady default\n");
}

// False for arguments it does not know; `help` set for --help or -h.
bool ParseOptions(int argc, char** argv, Options& options, bool& help) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      help = true;
    } else if (std::strcmp(argv[i], "--v4l2") == 0 && i + 1 < argc) {
      options.v4l2Device = argv[++i];
    } else if (std::strcmp(argv[i], "--format") == 0 && i + 1 < argc) {
      options.v4l2Format = argv[++i];
      const auto& formats = kalimo::kPixelFormats;
      if (std::none_of(std::begin(formats), std::end(formats),
                       [&](kalimo::PixelFormat format) { return options.v4l2Format == kalimo::GstFormatName(format); })) {
        return false;
      }
    } else if (std::strcmp(argv[i], "--low-latency") == 0 && i + 1 < argc) {
      options.lowLatency = argv[++i];
      if (options.lowLatency != "on" && options.lowLatency != "off") return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  if (!ParseOptions(argc, argv, options, help)) {
    PrintUsage(stderr, argv[0]);
    return 2;
  }
  if (help) {
    PrintHelp(argv[0]);
    return 0;
  }
  gst_init(nullptr, nullptr);
  Bridge bridge;
  if (!options.lowLatency.empty()) {
    bridge.source += options.lowLatency == "on" ? " low-latency=true" : " low-latency=false";
  }
  bridge.loop = g_main_loop_new(nullptr, FALSE);
  g_unix_signal_add(SIGINT, OnSignal, &bridge);
  g_unix_signal_add(SIGTERM, OnSignal, &bridge);

  const std::string name = FriendlyName();
  if (!options.v4l2Device.empty()) {
    // A loopback device shows its readers a camera only while somebody writes, so the camera runs
    // from the start here.
    const std::string description = bridge.source + " ! videoconvert ! video/x-raw,format=" + options.v4l2Format +
                                    " ! v4l2sink device=\"" + options.v4l2Device + "\" sync=false";
    if (!StartPipeline(bridge, description)) return 1;
    std::printf("Writing the camera \"%s\" into %s.\n", name.c_str(), options.v4l2Device.c_str());
  } else {
    std::string error;
    const bool started = bridge.camera.Start(
        name,
        [&bridge](bool streaming, const kalimo::PipeWireCamera::Format& format) {
          g_idle_add(ApplyStreamingChange, new StreamingChange{&bridge, streaming, format});
        },
        error);
    if (!started) {
      std::fprintf(stderr, "ostrel-bridge: %s (is PipeWire running?)\n", error.c_str());
      return 1;
    }
    std::printf("Publishing the camera \"%s\" to PipeWire.\n", name.c_str());
  }
  std::fflush(stdout);
  g_main_loop_run(bridge.loop);

  StopPipeline(bridge);
  bridge.camera.Stop();
  g_main_loop_unref(bridge.loop);
  return bridge.status;
}
