#include "filter/commands/PipeWireCamera.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "filter/core/OstrelPin.h"

namespace kalimo {

namespace {

spa_video_format SpaFormat(PixelFormat format) {
  switch (format) {
    case PixelFormat::kYuy2:
      return SPA_VIDEO_FORMAT_YUY2;
    case PixelFormat::kI420:
      return SPA_VIDEO_FORMAT_I420;
    case PixelFormat::kNv12:
      return SPA_VIDEO_FORMAT_NV12;
  }
  return SPA_VIDEO_FORMAT_UNKNOWN;
}

// Frame size and first-plane stride in GStreamer's default layout (widths here are multiples of 8).
void FrameLayout(const PipeWireCamera::Format& format, std::int32_t& size, std::int32_t& stride) {
  if (format.pixelFormat == PixelFormat::kYuy2) {
    stride = format.width * 2;
    size = stride * format.height;
  } else {
    stride = format.width;
    size = format.width * format.height * 3 / 2;
  }
}

// One fixed format: a consumer that reads only fixed entries (browsers do) sees every choice.
const spa_pod* BuildEnumFormat(spa_pod_builder& builder, PixelFormat format, const FrameSize& size) {
  spa_pod_frame object;
  spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
  spa_pod_builder_prop(&builder, SPA_FORMAT_mediaType, 0);
  spa_pod_builder_id(&builder, SPA_MEDIA_TYPE_video);
  spa_pod_builder_prop(&builder, SPA_FORMAT_mediaSubtype, 0);
  spa_pod_builder_id(&builder, SPA_MEDIA_SUBTYPE_raw);
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_format, 0);
  spa_pod_builder_id(&builder, SpaFormat(format));
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_size, 0);
  spa_pod_builder_rectangle(&builder, static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height));
  spa_pod_builder_prop(&builder, SPA_FORMAT_VIDEO_framerate, 0);
  spa_pod_builder_fraction(&builder, OstrelPin::kFramesPerSecond, 1);
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

}  // namespace

const char* GstFormatName(PixelFormat format) {
  switch (format) {
    case PixelFormat::kYuy2:
      return "YUY2";
    case PixelFormat::kI420:
      return "I420";
    case PixelFormat::kNv12:
      return "NV12";
  }
  return "";
}

const pw_stream_events PipeWireCamera::kStreamEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* error) {
    static_cast<PipeWireCamera*>(self)->OnStateChanged(state, error);
  };
  events.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
    static_cast<PipeWireCamera*>(self)->OnParamChanged(id, param);
  };
  events.process = [](void* self) { static_cast<PipeWireCamera*>(self)->OnProcess(); };
  return events;
}();

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
  pw_thread_loop_lock(loop_);
  stream_ = pw_stream_new_simple(pw_thread_loop_get_loop(loop_), "kalimo-camera", properties, &kStreamEvents, this);
  bool ok = stream_ != nullptr;
  if (ok) {
    std::uint8_t buffer[4096];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer, sizeof buffer);
    std::vector<const spa_pod*> formats;
    for (const PixelFormat format : kPixelFormats) {
      for (const FrameSize& size : OstrelPin::kSizes) formats.push_back(BuildEnumFormat(builder, format, size));
    }
    const int result = pw_stream_connect(
        stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), formats.data(),
        static_cast<std::uint32_t>(formats.size()));
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

void PipeWireCamera::OnStateChanged(int state, const char* error) {
  const bool streaming = state == PW_STREAM_STATE_STREAMING;
  if (state == PW_STREAM_STATE_ERROR) std::fprintf(stderr, "PipeWire stream error: %s\n", error ? error : "");
  if (streaming == streaming_) return;
  streaming_ = streaming;
  if (handler_) handler_(streaming, format_);
}

void PipeWireCamera::OnParamChanged(std::uint32_t id, const spa_pod* param) {
  if (!param || id != SPA_PARAM_Format) return;
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(param, &info) < 0) return;
  const auto* known = std::find_if(std::begin(kPixelFormats), std::end(kPixelFormats),
                                   [&](PixelFormat format) { return SpaFormat(format) == info.format; });
  if (known == std::end(kPixelFormats)) return;
  format_ = Format{*known, static_cast<int>(info.size.width), static_cast<int>(info.size.height)};

  std::int32_t size = 0;
  FrameLayout(format_, size, stride_);
  std::uint8_t buffer[1024];
  spa_pod_builder builder;
  spa_pod_builder_init(&builder, buffer, sizeof buffer);
  const spa_pod* params[] = {BuildBuffers(builder, size, stride_), BuildHeaderMeta(builder)};
  pw_stream_update_params(stream_, params, 2);
}

void PipeWireCamera::OnProcess() {
  pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
  if (!buffer) return;
  spa_buffer* spa = buffer->buffer;
  spa_data& data = spa->datas[0];
  if (data.data) {
    std::lock_guard guard(frameLock_);
    const std::size_t size = std::min<std::size_t>(frame_.size(), data.maxsize);
    std::memcpy(data.data, frame_.data(), size);
    data.chunk->offset = 0;
    data.chunk->size = static_cast<std::uint32_t>(size);
    data.chunk->stride = stride_;
    if (auto* header = static_cast<spa_meta_header*>(spa_buffer_find_meta_data(spa, SPA_META_Header, sizeof(spa_meta_header)))) {
      header->pts = static_cast<std::int64_t>(framePts_);
      header->flags = 0;
      header->seq = 0;
      header->dts_offset = 0;
    }
  }
  pw_stream_queue_buffer(stream_, buffer);
}

}  // namespace kalimo
