/**
 * SECTION:element-ostrelsrc
 *
 * The Kalimo virtual camera: delivers the pictures that Kalimo writes into its frame section, as
 * BGR video at 640x480 (or 320x240 when the client asks for it), 30 frames per second. Black
 * frames go out until the first picture arrives; when Kalimo stops, the last picture repeats.
 * The first buffer starts Kalimo when it is not running.
 *
 * |[
 * gst-launch-1.0 ostrelsrc ! videoconvert ! autovideosink
 * gst-launch-1.0 ostrelsrc ! video/x-raw,width=320,height=240 ! videoconvert ! autovideosink
 * gst-launch-1.0 ostrelsrc low-latency=true ! videoconvert ! autovideosink
 * ]|
 *
 * By default each buffer carries the oldest of the last pictures received (a steady picture about
 * 110 ms behind the writer). With low-latency, each buffer carries the newest picture, taken at the
 * moment the buffer is due: at most one poll (10 ms) behind the writer. The default of the property
 * comes from the camera's device entry (value "LowLatency"), so users can choose it once for every
 * application.
 *
 * A picture of another shape than the negotiated size is stretched over it, or, when the device
 * entry's "KeepAspect" is 1, scaled to fit and centred with black around it (read at each start).
 */
#include "filter/gst/gstostrelsrc.h"

#include "filter/core/FrameReceiver.h"
#include "filter/core/OstrelPin.h"
#include "platform/RegistryStore.h"

GST_DEBUG_CATEGORY_STATIC(gst_ostrel_src_debug);
#define GST_CAT_DEFAULT gst_ostrel_src_debug

// Buffers (2 s) after which a camera that has seen no picture says so on the debug log.
constexpr std::int64_t kNoPictureWarningFrames = 2 * kalimo::OstrelPin::kFramesPerSecond;

struct _GstOstrelSrc {
  GstPushSrc parent;

  GstVideoInfo info;
  // The process-wide receiver, counted once per started element: held from start to stop, so that
  // an element that is only made and inspected runs no thread.
  kalimo::FrameReceiver* receiver;
  gboolean receiver_held;
  kalimo::OstrelPin* pin;           // frame count and stamps; lives as long as the element
  gboolean flushing;
  gboolean low_latency;
  kalimo::FrameFit fit;  // from the device entry, read at each start
  GstClockID wait_id;  // the low-latency wait in progress, for unlock
  // basesrc lets each buffer go at base time + its stamp + (running time - stamp) of the first
  // buffer after a start; low-latency waits aim at the same moment, so they keep that offset too.
  // It is negative after a restart, when the stamps go on but the running time begins again.
  GstClockTimeDiff start_offset;
  gboolean start_offset_known;
};

enum { PROP_0, PROP_LOW_LATENCY };

// What a low-latency buffer needs between its time and its delivery: the wake-up and the copy.
static constexpr GstClockTime kLowLatencyCopyTime = 5 * GST_MSECOND;

#define gst_ostrel_src_parent_class parent_class
G_DEFINE_TYPE(GstOstrelSrc, gst_ostrel_src, GST_TYPE_PUSH_SRC)

GstCaps* gst_ostrel_src_offered_caps(void) {
  GstCaps* caps = gst_caps_new_empty();
  for (const kalimo::FrameSize& size : kalimo::OstrelPin::kSizes) {
    gst_caps_append_structure(
        caps, gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, size.width,
                                "height", G_TYPE_INT, size.height, "framerate", GST_TYPE_FRACTION,
                                kalimo::OstrelPin::kFramesPerSecond, 1, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1,
                                1, nullptr));
  }
  return caps;
}

static void gst_ostrel_src_finalize(GObject* object);
static void gst_ostrel_src_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec);
static void gst_ostrel_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec);
static GstCaps* gst_ostrel_src_fixate(GstBaseSrc* src, GstCaps* caps);
static gboolean gst_ostrel_src_set_caps(GstBaseSrc* src, GstCaps* caps);
static gboolean gst_ostrel_src_decide_allocation(GstBaseSrc* src, GstQuery* query);
static gboolean gst_ostrel_src_query(GstBaseSrc* src, GstQuery* query);
static void gst_ostrel_src_get_times(GstBaseSrc* src, GstBuffer* buffer, GstClockTime* start, GstClockTime* end);
static gboolean gst_ostrel_src_start(GstBaseSrc* src);
static gboolean gst_ostrel_src_stop(GstBaseSrc* src);
static gboolean gst_ostrel_src_unlock(GstBaseSrc* src);
static gboolean gst_ostrel_src_unlock_stop(GstBaseSrc* src);
static GstFlowReturn gst_ostrel_src_fill(GstPushSrc* src, GstBuffer* buffer);

// A choice kept in the camera's device entry: on when its DWORD is there and not 0.
static gboolean gst_ostrel_src_device_choice(const char* value) {
  int error = 0;
  const auto stored = kalimo::platform::RegistryStore::ReadDword(kalimo::platform::RegistryRoot::kClassesRoot,
                                                                 kalimo::platform::kCameraInstanceKey, value, error);
  return stored && *stored != 0;
}

static void gst_ostrel_src_class_init(GstOstrelSrcClass* klass) {
  GObjectClass* gobject_class = G_OBJECT_CLASS(klass);
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstBaseSrcClass* basesrc_class = GST_BASE_SRC_CLASS(klass);
  GstPushSrcClass* pushsrc_class = GST_PUSH_SRC_CLASS(klass);

  GST_DEBUG_CATEGORY_INIT(gst_ostrel_src_debug, "ostrelsrc", 0, "Kalimo virtual camera source");

  gobject_class->finalize = gst_ostrel_src_finalize;
  gobject_class->set_property = gst_ostrel_src_set_property;
  gobject_class->get_property = gst_ostrel_src_get_property;
  g_object_class_install_property(
      gobject_class, PROP_LOW_LATENCY,
      g_param_spec_boolean("low-latency", "Low latency",
                           "Deliver the newest picture when each buffer is due, instead of the oldest of the last "
                           "pictures received (default from the camera's device entry)",
                           FALSE, static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));

  gst_element_class_set_static_metadata(element_class, "Kalimo virtual camera", "Source/Video",
                                        "Delivers the pictures that Kalimo sends to its virtual camera",
                                        "Kalimo developers");
  GstCaps* caps = gst_ostrel_src_offered_caps();
  gst_element_class_add_pad_template(element_class, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
  gst_caps_unref(caps);

  basesrc_class->fixate = GST_DEBUG_FUNCPTR(gst_ostrel_src_fixate);
  basesrc_class->set_caps = GST_DEBUG_FUNCPTR(gst_ostrel_src_set_caps);
  basesrc_class->decide_allocation = GST_DEBUG_FUNCPTR(gst_ostrel_src_decide_allocation);
  basesrc_class->query = GST_DEBUG_FUNCPTR(gst_ostrel_src_query);
  basesrc_class->get_times = GST_DEBUG_FUNCPTR(gst_ostrel_src_get_times);
  basesrc_class->start = GST_DEBUG_FUNCPTR(gst_ostrel_src_start);
  basesrc_class->stop = GST_DEBUG_FUNCPTR(gst_ostrel_src_stop);
  basesrc_class->unlock = GST_DEBUG_FUNCPTR(gst_ostrel_src_unlock);
  basesrc_class->unlock_stop = GST_DEBUG_FUNCPTR(gst_ostrel_src_unlock_stop);
  pushsrc_class->fill = GST_DEBUG_FUNCPTR(gst_ostrel_src_fill);
}

static void gst_ostrel_src_init(GstOstrelSrc* self) {
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
  gst_video_info_init(&self->info);
  self->receiver = nullptr;
  self->receiver_held = FALSE;
  self->pin = new kalimo::OstrelPin();
  self->flushing = FALSE;
  self->wait_id = nullptr;
  self->start_offset = 0;
  self->start_offset_known = FALSE;
  self->low_latency = gst_ostrel_src_device_choice(kalimo::platform::kLowLatencyValue);
  self->fit = kalimo::FrameFit::kStretch;
}

static void gst_ostrel_src_set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  GstOstrelSrc* self = GST_OSTREL_SRC(object);
  switch (id) {
    case PROP_LOW_LATENCY:
      GST_OBJECT_LOCK(self);
      self->low_latency = g_value_get_boolean(value);
      GST_OBJECT_UNLOCK(self);
      // The pipeline asks again for the latency, which depends on the mode.
      gst_element_post_message(GST_ELEMENT(self), gst_message_new_latency(GST_OBJECT(self)));
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

static void gst_ostrel_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  GstOstrelSrc* self = GST_OSTREL_SRC(object);
  switch (id) {
    case PROP_LOW_LATENCY:
      GST_OBJECT_LOCK(self);
      g_value_set_boolean(value, self->low_latency);
      GST_OBJECT_UNLOCK(self);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

static void gst_ostrel_src_finalize(GObject* object) {
  GstOstrelSrc* self = GST_OSTREL_SRC(object);
  delete self->pin;
  self->pin = nullptr;
  G_OBJECT_CLASS(parent_class)->finalize(object);
}

static GstCaps* gst_ostrel_src_fixate(GstBaseSrc* src, GstCaps* caps) {
  // The first structure is the preferred size that remains after the client's choice.
  caps = gst_caps_truncate(caps);
  return GST_BASE_SRC_CLASS(parent_class)->fixate(src, caps);
}

static gboolean gst_ostrel_src_set_caps(GstBaseSrc* src, GstCaps* caps) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps) || GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGR) {
    GST_ERROR_OBJECT(self, "caps not supported: %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
    return FALSE;
  }
  self->info = info;
  gst_base_src_set_blocksize(src, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
  GST_DEBUG_OBJECT(self, "negotiated %dx%d", GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
  return TRUE;
}

static gboolean gst_ostrel_src_decide_allocation(GstBaseSrc* src, GstQuery* query) {
  GstCaps* caps = nullptr;
  gst_query_parse_allocation(query, &caps, nullptr);
  GstVideoInfo info;
  if (!caps || !gst_video_info_from_caps(&info, caps)) return FALSE;

  GstBufferPool* pool = nullptr;
  guint size = static_cast<guint>(GST_VIDEO_INFO_SIZE(&info));
  guint min = 0;
  guint max = 0;
  const gboolean update = gst_query_get_n_allocation_pools(query) > 0;
  if (update) {
    gst_query_parse_nth_allocation_pool(query, 0, &pool, &size, &min, &max);
    size = MAX(size, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)));
  }
  if (!pool) pool = gst_video_buffer_pool_new();

  GstStructure* config = gst_buffer_pool_get_config(pool);
  gst_buffer_pool_config_set_params(config, caps, size, min, max);
  if (gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr)) {
    gst_buffer_pool_config_add_option(config, GST_BUFFER_POOL_OPTION_VIDEO_META);
  }
  gst_buffer_pool_set_config(pool, config);
  if (update) {
    gst_query_set_nth_allocation_pool(query, 0, pool, size, min, max);
  } else {
    gst_query_add_allocation_pool(query, pool, size, min, max);
  }
  gst_object_unref(pool);
  return GST_BASE_SRC_CLASS(parent_class)->decide_allocation(src, query);
}

static gboolean gst_ostrel_src_query(GstBaseSrc* src, GstQuery* query) {
  if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY) {
    // By default a picture is taken a frame before its time (it is ready one frame length after its
    // start). In low-latency mode it is taken at its time, so only the copy itself lies between.
    GstOstrelSrc* self = GST_OSTREL_SRC(src);
    GST_OBJECT_LOCK(self);
    const gboolean lowLatency = self->low_latency;
    GST_OBJECT_UNLOCK(self);
    const GstClockTime latency = lowLatency ? kLowLatencyCopyTime
                                            : gst_util_uint64_scale_int(GST_SECOND, 1, kalimo::OstrelPin::kFramesPerSecond);
    gst_query_set_latency(query, TRUE, latency, GST_CLOCK_TIME_NONE);
    return TRUE;
  }
  return GST_BASE_SRC_CLASS(parent_class)->query(src, query);
}

static void gst_ostrel_src_get_times(GstBaseSrc* src, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
  // Makes basesrc wait on the pipeline clock until each buffer's time: the pace of 30 per second.
  if (gst_base_src_is_live(src)) {
    const GstClockTime timestamp = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(timestamp)) {
      *start = timestamp;
      if (GST_BUFFER_DURATION_IS_VALID(buffer)) *end = timestamp + GST_BUFFER_DURATION(buffer);
    }
  }
}

static gboolean gst_ostrel_src_start(GstBaseSrc* src) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  self->receiver = kalimo::AcquireReceiver();  // the first started element starts the receiver
  self->receiver_held = TRUE;
  self->start_offset_known = FALSE;  // basesrc measures its offset anew after each start
  // A source of another shape is stretched (the default) or keeps its shape; the user's choice
  // applies from the next start on.
  self->fit = gst_ostrel_src_device_choice(kalimo::platform::kKeepAspectValue) ? kalimo::FrameFit::kKeepAspect
                                                                               : kalimo::FrameFit::kStretch;
  return TRUE;
}

static gboolean gst_ostrel_src_stop(GstBaseSrc* src) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  if (self->receiver_held) {
    self->receiver = nullptr;
    self->receiver_held = FALSE;
    kalimo::ReleaseReceiver();  // the last element of the process stops the receiver
  }
  return TRUE;
}

static gboolean gst_ostrel_src_unlock(GstBaseSrc* src) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  GST_OBJECT_LOCK(self);
  self->flushing = TRUE;
  if (self->wait_id) gst_clock_id_unschedule(self->wait_id);
  GST_OBJECT_UNLOCK(self);
  return TRUE;
}

static gboolean gst_ostrel_src_unlock_stop(GstBaseSrc* src) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  GST_OBJECT_LOCK(self);
  self->flushing = FALSE;
  GST_OBJECT_UNLOCK(self);
  return TRUE;
}

// Low latency: waits until the buffer is due, so that the picture is taken at the last moment
// rather than a whole frame before basesrc's own wait lets the buffer go. An interrupted wait
// returns FALSE.
static gboolean gst_ostrel_src_wait_until_due(GstOstrelSrc* self) {
  GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
  if (!clock) return TRUE;  // not playing against a clock: nothing to wait for
  const GstClockTime baseTime = gst_element_get_base_time(GST_ELEMENT(self));
  const auto stamp = static_cast<GstClockTimeDiff>(self->pin->NextFrameStart());
  if (!self->start_offset_known) {
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTimeDiff running = now > baseTime ? GST_CLOCK_DIFF(baseTime, now) : 0;
    self->start_offset = running - stamp;
    self->start_offset_known = TRUE;
  }
  const GstClockTimeDiff due = static_cast<GstClockTimeDiff>(baseTime) + stamp + self->start_offset;
  GstClockID id = gst_clock_new_single_shot_id(clock, static_cast<GstClockTime>(MAX(due, 0)));
  gst_object_unref(clock);
  GST_OBJECT_LOCK(self);
  if (self->flushing) {
    GST_OBJECT_UNLOCK(self);
    gst_clock_id_unref(id);
    return FALSE;
  }
  self->wait_id = id;
  GST_OBJECT_UNLOCK(self);
  const GstClockReturn result = gst_clock_id_wait(id, nullptr);
  GST_OBJECT_LOCK(self);
  self->wait_id = nullptr;
  GST_OBJECT_UNLOCK(self);
  gst_clock_id_unref(id);
  return result != GST_CLOCK_UNSCHEDULED;
}

static GstFlowReturn gst_ostrel_src_fill(GstPushSrc* src, GstBuffer* buffer) {
  GstOstrelSrc* self = GST_OSTREL_SRC(src);
  GST_OBJECT_LOCK(self);
  const gboolean flushing = self->flushing;
  const gboolean lowLatency = self->low_latency;
  GST_OBJECT_UNLOCK(self);
  if (flushing) return GST_FLOW_FLUSHING;
  if (lowLatency && gst_base_src_is_live(GST_BASE_SRC(src)) && !gst_ostrel_src_wait_until_due(self)) {
    return GST_FLOW_FLUSHING;
  }

  GstVideoFrame frame;
  if (!gst_video_frame_map(&frame, &self->info, buffer, GST_MAP_WRITE)) {
    GST_ELEMENT_ERROR(self, RESOURCE, WRITE, ("Could not map the output buffer."), (nullptr));
    return GST_FLOW_ERROR;
  }
  const gsize size = gst_buffer_get_size(buffer);
  const kalimo::FrameTarget target{static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                                   GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                                   GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), kalimo::RowOrder::kTopDown};
  const auto stamp = self->pin->FillBuffer(self->receiver, target, size - GST_VIDEO_FRAME_PLANE_OFFSET(&frame, 0),
                                           lowLatency ? kalimo::FrameChoice::kNewest : kalimo::FrameChoice::kOldest,
                                           self->fit);
  gst_video_frame_unmap(&frame);

  // Black frames alone look like a broken camera: say once, on the debug log, why they are black.
  if (self->pin->FrameNumber() == kNoPictureWarningFrames && !self->pin->PictureReceived()) {
    GST_WARNING_OBJECT(self, "no picture in the frame section after %d s: nothing feeds the virtual camera "
                       "(start kalimo-feed or Kalimo as the same user), so it sends black frames",
                       static_cast<int>(kNoPictureWarningFrames / kalimo::OstrelPin::kFramesPerSecond));
  }
  GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(stamp.start);
  GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
  GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(stamp.duration);
  GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(self->pin->FrameNumber() - 1);
  GST_BUFFER_OFFSET_END(buffer) = static_cast<guint64>(self->pin->FrameNumber());
  return GST_FLOW_OK;
}
