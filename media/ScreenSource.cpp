#include "media/ScreenSource.h"

#include <gst/gst.h>

#include <cstdlib>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"

namespace kalimo::media {

ScreenSource::~ScreenSource() { Stop(); }

void ScreenSource::Stop() {
  if (pipeline_) {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
  }
  sink_.reset();
  preview_ = {};
}

FrameSize ScreenSource::Size() const {
  FrameSize size;
  if (!sink_ || !sink_->NegotiatedSize(size.width, size.height)) return {};
  return size;
}

bool ScreenSource::Start(FramePreview preview, std::string& error) {
  Stop();
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    error = "DISPLAY is not set (no X display to read)";
    return false;
  }
  preview_ = std::move(preview);
  if (!gst_init_check(nullptr, nullptr, nullptr)) {
    error = "GStreamer cannot start";
    return false;
  }
  sink_ = std::make_unique<BgrFrameSink>(
      [this](const FrameView& frame) {
        const FrameView written = WriteTopDownFrameToSection(frame, ProcessFrameSectionHandle());
        if (written && preview_) preview_(written);
      },
      nullptr);
  GstElement* source = gst_element_factory_make("ximagesrc", nullptr);
  GstElement* rate = gst_element_factory_make("capsfilter", nullptr);
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  GstElement* fit = gst_element_factory_make("capsfilter", nullptr);
  if (!source || !rate || !scale || !fit || !sink_->IsValid()) {
    for (GstElement* e : {source, rate, scale, fit})
      if (e) gst_object_unref(e);
    error = "the screen capture elements are missing (ximagesrc: gstreamer1.0-plugins-good)";
    return false;
  }
  g_object_set(source, "use-damage", FALSE, nullptr);
  GstCaps* rateCaps = gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, kFramesPerSecond, 1, nullptr);
  GstCaps* fitCaps = gst_caps_from_string("video/x-raw,width=(int)[1,1920],height=(int)[1,1080],pixel-aspect-ratio=1/1");
  g_object_set(rate, "caps", rateCaps, nullptr);
  g_object_set(fit, "caps", fitCaps, nullptr);
  gst_caps_unref(rateCaps);
  gst_caps_unref(fitCaps);
  pipeline_ = gst_pipeline_new("screen");
  gst_object_ref_sink(pipeline_);
  gst_bin_add_many(GST_BIN(pipeline_), source, rate, scale, fit, sink_->Element(), nullptr);
  gst_element_link_many(source, rate, scale, fit, sink_->Element(), nullptr);
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline_);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_ASYNC_DONE));
  gst_object_unref(bus);
  bool started = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE;
  if (!started) {
    GError* failure = nullptr;
    if (message) gst_message_parse_error(message, &failure, nullptr);
    error = "display " + std::string(display) + ": " + (failure ? failure->message : "the screen capture did not start");
    g_clear_error(&failure);
  }
  if (message) gst_message_unref(message);
  return started;
}

bool ScreenSource::Poll(std::string& error) {
  if (!pipeline_) return false;
  GstBus* bus = gst_element_get_bus(pipeline_);
  GstMessage* message =
      gst_bus_pop_filtered(bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS));
  gst_object_unref(bus);
  if (!message) return true;
  error = "the screen capture stopped";
  gst_message_unref(message);
  return false;
}

}  // namespace kalimo::media
