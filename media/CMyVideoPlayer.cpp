#include "media/CMyVideoPlayer.h"

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <cmath>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "media/GStreamerStart.h"
#include "media/Inc/vmrutil.h"
#include "media/MediaResult.h"

namespace kalimo::media {

namespace {
// The frame length that was logged last, process-wide: a new player logs only a length that changed.
std::atomic<std::int64_t> lastLoggedLength{0};
constexpr GstClockTime kSettleTimeout = 2 * GST_SECOND;

void DiscardBusMessages(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
  gst_object_unref(bus);
}
}  // namespace

// ---- the frame tap -------------------------------------------------------------------------

int CMyVideoSampleGrabberCB::BufferCB(double /*sampleTime*/, const FrameView& topDownFrame) {
  const std::int32_t width = topDownFrame.width;
  const std::int32_t height = topDownFrame.height;
  const std::int64_t length = topDownFrame.byteCount;
  if (!topDownFrame || width <= 0 || height <= 0 || length != DibStride(width) * height) return 0;
  // The rows must lie within the frame's length: a wider stride would have the copy read past it.
  const std::int64_t rowBytes = std::int64_t{width} * 3;
  if (topDownFrame.stride < rowBytes || topDownFrame.stride * (height - 1) + rowBytes > length) return 0;
  if (lastLoggedLength.exchange(length) != length) {
    KALIMO_LOG_INFO("grabber sample width = %d,height=%d,buffersize = %lld", width, height,
                    static_cast<long long>(length));
  }
  const FrameView written = WriteTopDownFrameToSection(topDownFrame.bits, ProcessFrameSectionHandle(),
                                                       static_cast<std::int32_t>(topDownFrame.stride), width, height);
  if (!written) return 0;
  std::lock_guard guard(stepLock_);
  if (step_) step_(written);
  return 0;
}

void CMyVideoSampleGrabberCB::SetFrameStep(FrameStep step) {
  std::lock_guard guard(stepLock_);
  step_ = std::move(step);
}

// ---- the player ----------------------------------------------------------------------------

CMyVideoPlayer::CMyVideoPlayer() : ready_(StartGStreamer()) {}

CMyVideoPlayer::~CMyVideoPlayer() { Close(); }

int CMyVideoPlayer::OpenFile(VideoWindow* videoWindow, const std::string& path) {
  // One attempt: a second way of building would be the same pipeline and fail the same way.
  try {
    return LoadFile(path, videoWindow, false, true);
  } catch (...) {
    KALIMO_LOG_ERROR("播放文件出现异常%s", path.c_str());
  }
  Close();
  return kNotGrabbed;
}

int CMyVideoPlayer::LoadFile(const std::string& path, VideoWindow* videoWindow, bool /*useRenderFile*/,
                             bool useGrabber) {
  Close();
  if (!ready_) return kFail;
  const int result = LoadFileUnguarded(path, videoWindow, useGrabber);
  // A failed load leaves nothing running behind it.
  if (Failed(result)) Close();
  return result;
}

int CMyVideoPlayer::LoadFileUnguarded(const std::string& path, VideoWindow* videoWindow, bool useGrabber) {
  missingPlugin_.clear();
  {
    std::lock_guard guard(continuationLock_);
    continuation_.clear();
    currentPath_ = path;
  }
  BgrFrameReader tap;
  if (useGrabber) tap = [this](const FrameView& frame) { grabber_.BufferCB(0, frame); };
  videoWindow_.store(videoWindow);
  sink_ = std::make_unique<BgrFrameSink>(std::move(tap), [this] {
    if (VideoWindow* window = videoWindow_.load()) window->PreviewFrameArrived();
  });
  if (!sink_->IsValid()) {
    KALIMO_LOG_ERROR("%s", FormatResultText(kUnsupportedStream).c_str());
    return kUnsupportedStream;
  }

  int result = kOk;
  graph_ = BuildPlaybackPipeline(path, sink_->Element(), soundOutput_, result);
  if (!graph_) return result;
  gst_object_ref_sink(graph_);
  events_.Attach(graph_);
  result = PrerollPipeline(graph_, path, missingPlugin_);
  if (Failed(result)) return result;
  DiscardBusMessages(graph_);
  events_.SetLoading(false);
  if (useGrabber) {
    result = CheckVideoReachedSink(sink_->Element());
    if (Failed(result)) return result;
  }
  hasAudio_ = SoundReachedSink(graph_);
  if (!sink_->NegotiatedSize(nativeWidth_, nativeHeight_)) {
    nativeWidth_ = nativeHeight_ = 0;
    if (useGrabber) {
      KALIMO_LOG_ERROR("%s", FormatResultText(kNotGrabbed).c_str());
      return kNotGrabbed;
    }
  }
  events_.SetOwner(videoWindow);
  g_signal_connect(graph_, "about-to-finish", G_CALLBACK(&CMyVideoPlayer::OnAboutToFinish), this);
  if (!Run()) {
    KALIMO_LOG_ERROR("%s", FormatResultText(kFail).c_str());
    return kFail;
  }
  return kOk;
}

bool CMyVideoPlayer::TakeNextEvent(Event& event) { return events_.TakeNext(event); }

void CMyVideoPlayer::SetContinuation(const std::string& path) {
  std::lock_guard guard(continuationLock_);
  continuation_ = path;
}

std::string CMyVideoPlayer::CurrentPath() const {
  std::lock_guard guard(continuationLock_);
  return currentPath_;
}

// On a streaming thread, while the playing file's last data are still on their way to the sinks:
// the queued file is opened now, so its first frame follows the last one without a pause.
void CMyVideoPlayer::OnAboutToFinish(GstElement* playbin, void* self) {
  auto* player = static_cast<CMyVideoPlayer*>(self);
  std::string path;
  {
    std::lock_guard guard(player->continuationLock_);
    path.swap(player->continuation_);
    if (path.empty()) return;
    player->currentPath_ = path;
  }
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  if (!uri) return;
  player->events_.ExpectContinuation();
  g_object_set(playbin, "uri", uri, nullptr);
  g_free(uri);
}

void CMyVideoPlayer::Close() {
  videoWindow_.store(nullptr);
  {
    std::lock_guard guard(continuationLock_);
    continuation_.clear();
    currentPath_.clear();
  }
  ReleasePipeline(graph_, events_);
  sink_.reset();
  hasAudio_ = false;
}

bool CMyVideoPlayer::Run() {
  return graph_ && gst_element_set_state(graph_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool CMyVideoPlayer::Pause() {
  if (!graph_ || gst_element_set_state(graph_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
  // Wait for the paused picture, so that a position read right after is the paused one.
  return gst_element_get_state(graph_, nullptr, nullptr, kSettleTimeout) != GST_STATE_CHANGE_FAILURE;
}

bool CMyVideoPlayer::GetCurrentPosition(std::int64_t& time) const {
  gint64 position = 0;
  if (!graph_ || !gst_element_query_position(graph_, GST_FORMAT_TIME, &position)) return false;
  time = position / 100;
  return true;
}

bool CMyVideoPlayer::GetDuration(std::int64_t& duration) const {
  gint64 length = 0;
  if (!graph_ || !gst_element_query_duration(graph_, GST_FORMAT_TIME, &length) || length < 0) return false;
  duration = length / 100;
  return true;
}

bool CMyVideoPlayer::SetPosition(std::int64_t time) {
  if (!graph_) return false;
  // A position before the start means the start, as file parsers treat it.
  if (time < 0) time = 0;
  std::int64_t current = 0;
  if (GetCurrentPosition(current) && current == time) return true;
  if (gst_element_seek_simple(graph_, GST_FORMAT_TIME,
                              static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), time * 100)) {
    // Let the seek settle, so that the position read next (a skip after a seek) is the new one.
    gst_element_get_state(graph_, nullptr, nullptr, kSettleTimeout);
    return true;
  }
  KALIMO_LOG_INFO("Failure to get postion error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::SkipForward() {
  std::int64_t current = 0;
  if (!graph_ || !GetCurrentPosition(current)) return false;
  return SetPosition(current + kSkipStep);
}

bool CMyVideoPlayer::SkipBack() {
  std::int64_t current = 0;
  if (!graph_ || !GetCurrentPosition(current)) return false;
  return SetPosition(current - kSkipStep);
}

bool CMyVideoPlayer::ApplyVolume(long volume) {
  if (!hasAudio_ || volume < kSilence || volume > 0) return false;
  const double linear = gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_DB, GST_STREAM_VOLUME_FORMAT_LINEAR,
                                                         static_cast<double>(volume) / 100.0);
  gst_stream_volume_set_volume(GST_STREAM_VOLUME(graph_), GST_STREAM_VOLUME_FORMAT_LINEAR, linear);
  return true;
}

bool CMyVideoPlayer::Mute() {
  if (!graph_) return false;
  if (ApplyVolume(kSilence)) return true;
  KALIMO_LOG_INFO("Failure to Close volume error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::SetVolume(long volume) {
  if (!graph_) return false;
  if (ApplyVolume(volume)) return true;
  KALIMO_LOG_INFO("Failure to set volume error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::GetVolume(long& volume) const {
  if (!graph_) return false;
  if (!hasAudio_) {
    KALIMO_LOG_INFO("Failure to get volume error code= %d", kFail);
    return false;
  }
  const double linear = gst_stream_volume_get_volume(GST_STREAM_VOLUME(graph_), GST_STREAM_VOLUME_FORMAT_LINEAR);
  if (linear <= 0) {
    volume = kSilence;
    return true;
  }
  const double decibels =
      gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_LINEAR, GST_STREAM_VOLUME_FORMAT_DB, linear);
  volume = std::lround(decibels * 100.0);
  if (volume < kSilence) volume = kSilence;
  return true;
}

bool CMyVideoPlayer::ReadPreviewFrame(const BgrFrameReader& reader) const {
  return sink_ && sink_->ReadLatestFrame(reader);
}

}  // namespace kalimo::media
