#include "filter/PipeWireCamera.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cstring>

namespace kalimo {

namespace {

struct FormatName {
  spa_video_format id;
  const char* name;
};
// The formats browsers and chat clients take, preferred first.
constexpr FormatName kFormats[] = {
    {SPA_VIDEO_FORMAT_YUY2, "YUY2"}, {SPA_VIDEO_FORMAT_I420, "I420"}, {SPA_VIDEO_FORMAT_NV12, "NV12"}};
constexpr std::uint32_t kSizes[][2] = {{640, 480}, {320, 240}};

// Frame size and first-plane stride in GStreamer's default layout (widths here are multiples of 8).
void FrameLayout(const std::string& name, int width, int height, std::int32_t& size, std::int32_t& stride) {
  if (name == "YUY2") {
    stride = width * 2;
    size = stride * height;
  } else {
    stride = width;
    size = width * height * 3 / 2;
  }
}

const spa_pod* BuildEnumFormat(spa_pod_builder& builder) {
  spa_pod_frame object;
  spa_pod_frame choice;
  spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_prop(&builder, SPA_FORMAT_mediaType, 0);
  spa_pod_builder_id(&builder, SPA_MEDIA_TYPE_video);
  spa_pod_builder_prop(&builder, SPA_FORMAT_mediaSubtype, 0);
  spa_pod_builder_id(&builder, SPA_MEDIA_SUBTYPE_raw);
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_format, 0);
  spa_pod_builder_push_choice(&builder, &choice, SPA_CHOICE_Enum, 0);
  spa_pod_builder_id(&builder, kFormats[0].id);  // the default
  for (const auto& format : kFormats) spa_pod_builder_id(&builder, format.id);
  spa_pod_builder_pop(&builder, &choice);
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_size, 0);
  spa_pod_builder_push_choice(&builder, &choice, SPA_CHOICE_Enum, 0);
  spa_pod_builder_rectangle(&builder, kSizes[0][0], kSizes[0][1]);
  for (const auto& size : kSizes) spa_pod_builder_rectangle(&builder, size[0], size[1]);
  spa_pod_builder_pop(&builder, &choice);
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_framerate, 0);
  spa_pod_builder_fraction(&builder, 30, 1);
  return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object));
}

const spa_pod* BuildBuffers(spa_pod_builder& builder, std::int32_t size, std::int32_t stride) {
  spa_pod_frame object;
  spa_pod_frame choice;
  spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers);
  spa_pod_builder_prop(&builder, SPA_PARAM_BUFFERS_buffers, 0);
  spa_pod_builder_push_choice(&builder, &choice, SPA_CHOICE_Range, 0);
  spa_pod_builder_int(&builder, 4);
  spa_pod_builder_int(&builder, 2);
  spa_pod_builder_int(&builder, 16);
  spa_pod_builder_pop(&builder, &choice);
  spa_pod_builder_prop(&builder, SPA_PARAM_BUFFERS_blocks, 0);
  spa_pod_builder_int(&builder, 1);
  spa_pod_builder_prop(&builder, SPA_PARAM_BUFFERS_size, 0);
  spa_pod_builder_int(&builder, size);
  spa_pod_builder_prop(&builder, SPA_PARAM_BUFFERS_stride, 0);
  spa_pod_builder_int(&builder, stride);
  return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object));
}

const spa_pod* BuildHeaderMeta(spa_pod_builder& builder) {
  spa_pod_frame object;
  spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta);
  spa_pod_builder_prop(&builder, SPA_PARAM_META_type, 0);
  spa_pod_builder_id(&builder, SPA_META_Header);
  spa_pod_builder_prop(&builder, SPA_PARAM_META_size, 0);
  spa_pod_builder_int(&builder, sizeof(spa_meta_header));
  return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object));
}

pw_stream_events MakeEvents() {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  return events;
}

}  // namespace

PipeWireCamera::PipeWireCamera() { pw_init(nullptr, nullptr); }

PipeWireCamera::~PipeWireCamera() { Stop(); }

bool PipeWireCamera::Start(const std::string& description, StreamingHandler handler, std::string& error) {
  handler_ = std::move(handler);
  loop_ = pw_thread_loop_new("kalimo-camera", nullptr);
  if (!loop_) {
    error = "cannot create PipeWire's thread loop";
    return false;
  }
  pw_properties* properties = pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_MEDIA_ROLE, "Camera",
                                                PW_KEY_NODE_NAME, "kalimo-camera", PW_KEY_NODE_DESCRIPTION,
                                                description.c_str(), nullptr);
  static pw_stream_events events = [] {
    pw_stream_events e = MakeEvents();
    e.state_changed = [](void* self, pw_stream_state oldState, pw_stream_state state, const char* text) {
      OnStateChanged(self, oldState, state, text);
    };
    e.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) { OnParamChanged(self, id, param); };
    e.process = [](void* self) { OnProcess(self); };
    return e;
  }();
  auto* hook = new spa_hook{};
  listener_ = hook;

  pw_thread_loop_lock(loop_);
  stream_ = pw_stream_new_simple(pw_thread_loop_get_loop(loop_), "kalimo-camera", properties, &events, this);
  bool ok = stream_ != nullptr;
  if (ok) {
    std::uint8_t buffer[1024];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    const spa_pod* params[] = {BuildEnumFormat(builder)};
    const int result = pw_stream_connect(
        stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);
    if (result < 0) {
      error = std::string("cannot publish the camera node: ") + spa_strerror(result);
      ok = false;
    }
  } else {
    error = "cannot create the PipeWire stream";
  }
  pw_thread_loop_unlock(loop_);
  if (ok && pw_thread_loop_start(loop_) < 0) {
    error = "cannot start PipeWire's thread loop";
    ok = false;
  }
  if (!ok) Stop();
  return ok;
}

void PipeWireCamera::Stop() {
  if (loop_) pw_thread_loop_stop(loop_);
  if (stream_) {
    pw_stream_destroy(stream_);
    stream_ = nullptr;
  }
  if (loop_) {
    pw_thread_loop_destroy(loop_);
    loop_ = nullptr;
  }
  delete static_cast<spa_hook*>(listener_);
  listener_ = nullptr;
}

void PipeWireCamera::PushFrame(const unsigned char* data, std::size_t size, std::uint64_t pts) {
  {
    std::lock_guard guard(frameLock_);
    frame_.assign(data, data + size);
    framePts_ = pts;
  }
  if (!loop_) return;
  pw_thread_loop_lock(loop_);
  if (stream_ && streaming_) pw_stream_trigger_process(stream_);
  pw_thread_loop_unlock(loop_);
}

void PipeWireCamera::OnStateChanged(void* self, int, int state, const char* error) {
  auto* camera = static_cast<PipeWireCamera*>(self);
  const bool streaming = state == PW_STREAM_STATE_STREAMING;
  if (state == PW_STREAM_STATE_ERROR) std::fprintf(stderr, "PipeWire stream error: %s\n", error ? error : "");
  if (streaming == camera->streaming_) return;
  camera->streaming_ = streaming;
  if (camera->handler_) camera->handler_(streaming, camera->format_);
}

void PipeWireCamera::OnParamChanged(void* self, std::uint32_t id, const void* param) {
  auto* camera = static_cast<PipeWireCamera*>(self);
  if (!param || id != SPA_PARAM_Format) return;
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(static_cast<const spa_pod*>(param), &info) < 0) return;
  const auto* known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                   [&](const FormatName& format) { return format.id == info.format; });
  if (known == std::end(kFormats)) return;
  camera->format_ = Format{known->name, static_cast<int>(info.size.width), static_cast<int>(info.size.height)};

  std::int32_t size = 0;
  std::int32_t stride = 0;
  FrameLayout(camera->format_.name, camera->format_.width, camera->format_.height, size, stride);
  std::uint8_t buffer[1024];
  spa_pod_builder builder;
  spa_pod_builder_init(&builder, buffer, sizeof buffer);
  const spa_pod* params[] = {BuildBuffers(builder, size, stride), BuildHeaderMeta(builder)};
  pw_stream_update_params(camera->stream_, params, 2);
}

void PipeWireCamera::OnProcess(void* self) {
  auto* camera = static_cast<PipeWireCamera*>(self);
  pw_buffer* buffer = pw_stream_dequeue_buffer(camera->stream_);
  if (!buffer) return;
  spa_buffer* spa = buffer->buffer;
  spa_data& data = spa->datas[0];
  if (data.data) {
    std::lock_guard guard(camera->frameLock_);
    const std::size_t size = std::min<std::size_t>(camera->frame_.size(), data.maxsize);
    std::memcpy(data.data, camera->frame_.data(), size);
    data.chunk->offset = 0;
    data.chunk->size = static_cast<std::uint32_t>(size);
    std::int32_t frameSize = 0;
    std::int32_t stride = 0;
    FrameLayout(camera->format_.name, camera->format_.width, camera->format_.height, frameSize, stride);
    data.chunk->stride = stride;
    if (auto* header = static_cast<spa_meta_header*>(spa_buffer_find_meta_data(spa, SPA_META_Header, sizeof(spa_meta_header)))) {
      header->pts = static_cast<std::int64_t>(camera->framePts_);
      header->flags = 0;
      header->seq = 0;
      header->dts_offset = 0;
    }
  }
  pw_stream_queue_buffer(camera->stream_, buffer);
}

}  // namespace kalimo
