#include "media/base/BgrFrameSink.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <string>

namespace kalimo::media {

namespace {

// Maps the sample's buffer as a video frame, so that the stride is the one GStreamer laid out.
template <typename Reader>
bool WithMappedFrame(GstSample* sample, const Reader& reader) {
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  if (!buffer || !caps) return false;
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return false;
  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return false;
  FrameView view;
  view.bits = static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  view.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  view.width = GST_VIDEO_FRAME_WIDTH(&frame);
  view.height = GST_VIDEO_FRAME_HEIGHT(&frame);
  view.byteCount = static_cast<std::int64_t>(GST_VIDEO_FRAME_SIZE(&frame));
  reader(view);
  gst_video_frame_unmap(&frame);
  return true;
}

}  // namespace

BgrFrameSink::BgrFrameSink(BgrFrameReader onFrame, std::function<void()> onPreview, const char* extraCaps)
    : onFrame_(std::move(onFrame)), onPreview_(std::move(onPreview)) {
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  appsink_ = gst_element_factory_make("appsink", nullptr);
  if (!convert || !appsink_) {
    if (convert) gst_object_unref(convert);
    if (appsink_) gst_object_unref(appsink_);
    appsink_ = nullptr;
    return;
  }
  std::string capsText = "video/x-raw,format=BGR";
  if (extraCaps && *extraCaps) capsText += std::string(",") + extraCaps;
  GstCaps* caps = gst_caps_from_string(capsText.c_str());
  // The frames are used at once and never queued; the last sample is kept here, not in appsink.
  g_object_set(appsink_, "caps", caps, "sync", TRUE, "enable-last-sample", FALSE, "max-buffers", 1u, "drop",
               TRUE, "emit-signals", FALSE, nullptr);
  gst_caps_unref(caps);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink* sink, gpointer self) {
    return static_cast<GstFlowReturn>(OnNewSample(sink, self));
  };
  callbacks.new_preroll = [](GstAppSink* sink, gpointer self) {
    return static_cast<GstFlowReturn>(OnNewPreroll(sink, self));
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &callbacks, this, nullptr);

  bin_ = gst_bin_new(nullptr);
  gst_object_ref_sink(bin_);
  gst_bin_add_many(GST_BIN(bin_), convert, appsink_, nullptr);
  gst_element_link(convert, appsink_);
  GstPad* target = gst_element_get_static_pad(convert, "sink");
  gst_element_add_pad(bin_, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
}

BgrFrameSink::~BgrFrameSink() {
  if (appsink_) {
    GstAppSinkCallbacks none{};
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink_), &none, nullptr, nullptr);
  }
  DropLatestFrame();
  if (bin_) gst_object_unref(bin_);
}

int BgrFrameSink::OnNewSample(GstAppSink* sink, void* self) {
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_EOS;
  static_cast<BgrFrameSink*>(self)->Deliver(sample, true);
  return GST_FLOW_OK;
}

int BgrFrameSink::OnNewPreroll(GstAppSink* sink, void* self) {
  // The prerolled frame is rendered again as a sample once the pipeline plays; here it refreshes
  // the preview, so that a paused seek shows its picture, and the tap only when asked for.
  GstSample* sample = gst_app_sink_pull_preroll(sink);
  if (!sample) return GST_FLOW_EOS;
  auto* frameSink = static_cast<BgrFrameSink*>(self);
  frameSink->Deliver(sample, frameSink->tapPreroll_.exchange(false));
  return GST_FLOW_OK;
}

void BgrFrameSink::Deliver(GstSample* sample, bool tap) {
  if (tap) {
    if (onFrame_) WithMappedFrame(sample, onFrame_);
    framesDelivered_.fetch_add(1);
  }
  GstSample* previous = nullptr;
  {
    std::lock_guard guard(latestLock_);
    previous = latest_;
    latest_ = sample;  // the reference pulled from appsink moves here
  }
  if (previous) gst_sample_unref(previous);
  if (onPreview_) onPreview_();
}

bool BgrFrameSink::ReadLatestFrame(const BgrFrameReader& reader) const {
  GstSample* sample = nullptr;
  {
    std::lock_guard guard(latestLock_);
    if (latest_) sample = gst_sample_ref(latest_);
  }
  if (!sample) return false;
  const bool read = WithMappedFrame(sample, reader);
  gst_sample_unref(sample);
  return read;
}

void BgrFrameSink::DropLatestFrame() {
  GstSample* previous = nullptr;
  {
    std::lock_guard guard(latestLock_);
    previous = latest_;
    latest_ = nullptr;
  }
  if (previous) gst_sample_unref(previous);
}

namespace {
bool NegotiatedInfo(GstElement* appsink, GstVideoInfo& info) {
  if (!appsink) return false;
  GstPad* pad = gst_element_get_static_pad(appsink, "sink");
  GstCaps* caps = gst_pad_get_current_caps(pad);
  gst_object_unref(pad);
  if (!caps) return false;
  const bool parsed = gst_video_info_from_caps(&info, caps);
  gst_caps_unref(caps);
  return parsed;
}
}  // namespace

bool BgrFrameSink::NegotiatedSize(int& width, int& height) const {
  GstVideoInfo info;
  if (!NegotiatedInfo(appsink_, info)) return false;
  width = GST_VIDEO_INFO_WIDTH(&info);
  height = GST_VIDEO_INFO_HEIGHT(&info);
  return true;
}

double BgrFrameSink::NegotiatedFrameRate() const {
  GstVideoInfo info;
  if (!NegotiatedInfo(appsink_, info) || GST_VIDEO_INFO_FPS_D(&info) == 0) return 0;
  return static_cast<double>(GST_VIDEO_INFO_FPS_N(&info)) / GST_VIDEO_INFO_FPS_D(&info);
}

void BgrFrameSink::SetPaced(bool paced) {
  if (appsink_) g_object_set(appsink_, "sync", paced ? TRUE : FALSE, nullptr);
}

}  // namespace kalimo::media
