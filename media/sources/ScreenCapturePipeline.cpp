#include "media/sources/ScreenCapturePipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include "media/sources/PackedBitmap.h"

namespace kalimo::media {

namespace {

std::string SourceDescription(const CaptureSource& source) {
  if (source.IsPortalStream()) {
    // The portal's connection reaches only the streams of its session. A copy of each picture
    // gives PipeWire its buffer back at once, so a slow encoder never stalls the desktop's stream.
    // Pictures are stamped as they arrive, since not every stream carries times of its own (the
    // recording needs them). The portal sends pictures as the screen changes, at most at the
    // monitor's rate.
    return "pipewiresrc always-copy=true do-timestamp=true fd=" + std::to_string(source.pipeWireFd) +
           " path=" + std::to_string(source.nodeId);
  }
  const ScreenArea& area = source.area;
  std::string x11 = "ximagesrc use-damage=false show-pointer=true";
  if (!area.IsWholeScreen()) {
    // ximagesrc's end coordinates are inclusive.
    x11 += " startx=" + std::to_string(area.x) + " starty=" + std::to_string(area.y) +
           " endx=" + std::to_string(area.x + area.width - 1) + " endy=" + std::to_string(area.y + area.height - 1);
  }
  return x11 + " ! video/x-raw,framerate=" + std::to_string(ScreenCapturePipeline::kFramesPerSecond) + "/1";
}

// The element whose absence the user can do something about, for the error text.
std::string MissingElements(const std::vector<const char*>& names) {
  std::string missing;
  for (const char* name : names) {
    GstElementFactory* factory = gst_element_factory_find(name);
    if (factory) {
      gst_object_unref(factory);
      continue;
    }
    missing += missing.empty() ? name : std::string(", ") + name;
  }
  return missing;
}

// The first message of `types` on the pipeline's bus, waiting up to `timeout` for it; null when none came.
GstMessage* PopMessage(GstElement* pipeline, GstClockTime timeout, int types) {
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(bus, timeout, static_cast<GstMessageType>(types));
  gst_object_unref(bus);
  return message;
}

// The text of an error message, `otherwise` for another message or none; the message is released.
std::string TakeErrorText(GstMessage* message, const char* otherwise) {
  GError* failure = nullptr;
  if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) gst_message_parse_error(message, &failure, nullptr);
  std::string text = failure ? failure->message : otherwise;
  g_clear_error(&failure);
  if (message) gst_message_unref(message);
  return text;
}

}  // namespace

std::string ScreenCapturePipeline::MissingElementsError(bool portalStream, bool recording) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return "GStreamer cannot start";
  const char* sourceElement = portalStream ? "pipewiresrc" : "ximagesrc";
  const std::string missing = MissingElements(
      {sourceElement, "videoconvert", recording ? "vp8enc" : "videoscale", recording ? "webmmux" : "appsink"});
  if (missing.empty()) return {};
  return "the GStreamer elements " + missing + " are missing (" +
         (portalStream ? "pipewiresrc: gstreamer1.0-pipewire" : "ximagesrc: gstreamer1.0-plugins-good") +
         ", videoconvert, videoscale and appsink: gstreamer1.0-plugins-base, vp8enc and webmmux: gstreamer1.0-plugins-good)";
}

bool ScreenCapturePipeline::StartFrames(const CaptureSource& source, PackedFrameReceiver receiver, std::string& error) {
  Stop();
  receiver_ = std::move(receiver);
  recording_ = false;
  const std::string description = SourceDescription(source) +
                                  " ! videoconvert ! videoscale"
                                  " ! video/x-raw,format=BGRx,width=[1,1920],height=[1,1080],pixel-aspect-ratio=1/1"
                                  " ! appsink name=frames sync=false max-buffers=1 drop=true emit-signals=true";
  return Launch(source, description, error, {});
}

bool ScreenCapturePipeline::StartRecording(const CaptureSource& source, const std::string& filePath,
                                           std::string& error) {
  Stop();
  recording_ = true;
  // A leaky queue lets a slow encoder drop frames instead of stalling the capture; the timestamps
  // stay those of the capture, so the file's duration is the time recorded.
  const std::string description =
      SourceDescription(source) +
      " ! queue leaky=downstream max-size-buffers=4 max-size-bytes=0 max-size-time=0"
      " ! videoconvert ! video/x-raw,format=I420"
      " ! vp8enc deadline=1 cpu-used=16 threads=2 end-usage=cbr target-bitrate=" +
      std::to_string(kRecordingBitsPerSecond) + " keyframe-max-dist=" + std::to_string(kFramesPerSecond * 2) +
      // Unbuffered: each piece reaches the file as the muxer writes it, so a killed recording plays
      // up to its last frames.
      " ! webmmux ! filesink name=file buffer-mode=unbuffered";
  return Launch(source, description, error, filePath);
}

bool ScreenCapturePipeline::Launch(const CaptureSource& source, const std::string& description, std::string& error,
                                   const std::string& filePath) {
  error = MissingElementsError(source.IsPortalStream(), recording_);
  if (!error.empty()) return false;
  GError* failure = nullptr;
  pipeline_ = gst_parse_launch(description.c_str(), &failure);
  if (!pipeline_) {
    error = std::string("the capture pipeline cannot be built: ") + (failure ? failure->message : "unknown error");
    g_clear_error(&failure);
    return false;
  }
  g_clear_error(&failure);
  gst_object_ref_sink(pipeline_);
  // Set as a property: a path in the launch text would have to survive its quoting rules.
  if (GstElement* file = gst_bin_get_by_name(GST_BIN(pipeline_), "file")) {
    g_object_set(file, "location", filePath.c_str(), nullptr);
    gst_object_unref(file);
  }
  if (GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_), "frames")) {
    g_signal_connect(sink, "new-sample", G_CALLBACK(&ScreenCapturePipeline::OnNewSample), this);
    gst_object_unref(sink);
  }
  delivering_ = true;
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    Poll(error);
    if (error.empty()) error = "the screen capture did not start";
    Stop();
    return false;
  }
  return true;
}

int ScreenCapturePipeline::OnNewSample(GstElement* sink, void* self) {
  auto* pipeline = static_cast<ScreenCapturePipeline*>(self);
  GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
  if (!sample) return GST_FLOW_OK;
  GstVideoInfo info;
  GstVideoFrame frame;
  if (pipeline->delivering_ && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
      gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
    if (PackBgrxFrame(static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)), info.width,
                      info.height, GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), pipeline->packed_) &&
        pipeline->receiver_)
      pipeline->receiver_(pipeline->packed_);
    gst_video_frame_unmap(&frame);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

bool ScreenCapturePipeline::WaitUntilRunning(std::string& error) {
  if (!pipeline_) return false;
  GstMessage* message = PopMessage(pipeline_, 10 * GST_SECOND, GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE);
  if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE) {
    gst_message_unref(message);
    return true;
  }
  error = TakeErrorText(message, "the screen capture did not start");
  return false;
}

bool ScreenCapturePipeline::Poll(std::string& error) {
  if (!pipeline_) return false;
  GstMessage* message = PopMessage(pipeline_, 0, GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
  if (!message) return true;
  error = TakeErrorText(message, "the screen capture ended");
  return false;
}

void ScreenCapturePipeline::Stop() {
  delivering_ = false;
  if (!pipeline_) return;
  if (recording_) {
    // The muxer writes the duration and the index when the end of the stream reaches it.
    gst_element_send_event(pipeline_, gst_event_new_eos());
    if (GstMessage* message = PopMessage(pipeline_, 5 * GST_SECOND, GST_MESSAGE_ERROR | GST_MESSAGE_EOS))
      gst_message_unref(message);
  }
  // Setting NULL joins the streaming threads, so no frame is delivered after this.
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  gst_object_unref(pipeline_);
  pipeline_ = nullptr;
}

}  // namespace kalimo::media
