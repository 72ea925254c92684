#include "media/base/BusEventQueue.h"

#include <gst/gst.h>

#include "common/Logging.h"

namespace kalimo::media {

void BusEventQueue::Attach(GstElement* pipeline) {
  Detach();
  pipeline_ = GST_ELEMENT(gst_object_ref(pipeline));
  loading_.store(true);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(
      bus,
      [](GstBus* b, GstMessage* m, gpointer self) { return static_cast<GstBusSyncReply>(SyncHandler(b, m, self)); },
      this, nullptr);
  gst_object_unref(bus);
}

void BusEventQueue::Detach() {
  owner_.store(nullptr);
  if (pipeline_) {
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
    gst_object_unref(bus);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
  }
  std::lock_guard guard(lock_);
  events_.clear();
  endHandler_ = nullptr;
}

void BusEventQueue::SetEndHandler(std::function<bool()> handler) {
  std::lock_guard guard(lock_);
  endHandler_ = std::move(handler);
}

void BusEventQueue::Push(PipelineEvent event) {
  {
    std::lock_guard guard(lock_);
    events_.push_back(event);
  }
  if (VideoWindow* owner = owner_.load()) owner->GraphEventsWaiting();
}

bool BusEventQueue::TakeNext(PipelineEvent& event) {
  std::lock_guard guard(lock_);
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

int BusEventQueue::SyncHandler(void* /*bus*/, void* message, void* self) {
  auto* queue = static_cast<BusEventQueue*>(self);
  auto* msg = static_cast<GstMessage*>(message);
  const GstMessageType type = GST_MESSAGE_TYPE(msg);
  if (type == GST_MESSAGE_WARNING) {
    // Warnings (a missing sound server among them) never stop a pipeline.
    GError* error = nullptr;
    gst_message_parse_warning(msg, &error, nullptr);
    KALIMO_LOG_DEBUG("GStreamer warning: %s", error ? error->message : "?");
    g_clear_error(&error);
    return GST_BUS_DROP;
  }
  if (queue->loading_.load()) {
    const bool wanted = type == GST_MESSAGE_ERROR || type == GST_MESSAGE_ASYNC_DONE || type == GST_MESSAGE_ELEMENT;
    return wanted ? GST_BUS_PASS : GST_BUS_DROP;
  }
  if (type != GST_MESSAGE_EOS && type != GST_MESSAGE_ERROR) return GST_BUS_DROP;
  if (type == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(msg, &error, &debug);
    KALIMO_LOG_ERROR("%s (%s)", error ? error->message : "stream error", debug ? debug : "");
    g_clear_error(&error);
    g_free(debug);
  }
  if (type == GST_MESSAGE_EOS) {
    std::function<bool()> handler;
    {
      std::lock_guard guard(queue->lock_);
      handler = queue->endHandler_;
    }
    if (handler && handler()) return GST_BUS_DROP;
  }
  // Queued first, so that the owner finds the event when it looks.
  queue->Push(type == GST_MESSAGE_EOS ? PipelineEvent::EndOfStream : PipelineEvent::Error);
  return GST_BUS_DROP;
}

void ReleasePipeline(GstElement*& pipeline, BusEventQueue& events) {
  events.SetOwner(nullptr);
  if (!pipeline) return;
  gst_element_set_state(pipeline, GST_STATE_NULL);
  events.Detach();
  gst_object_unref(pipeline);
  pipeline = nullptr;
}

}  // namespace kalimo::media
