#include "media/player/CMyVideoPlayer.h"

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <cmath>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "common/Logging.h"
#include "common/Messages.h"
#include "media/base/GStreamerStart.h"
#include "media/base/MediaResult.h"
#include "media/player/vmrutil.h"

namespace kalimo::media {

namespace {
constexpr GstClockTime kSettleTimeout = 2 * GST_SECOND;

void DiscardBusMessages(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
  gst_object_unref(bus);
}
}  // namespace

// ---- the player ----------------------------------------------------------------------------

struct CMyVideoPlayer::Playback {
  std::string path;
  std::unique_ptr<BgrFrameSink> sink;
  GstElement* graph = nullptr;
  BusEventQueue events;
  bool hasAudio = false;

  Playback() = default;
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;
  // Stops the pipeline first, so that no frame reaches a sink being destroyed.
  ~Playback() {
    ReleasePipeline(graph, events);
    sink.reset();
  }
};

namespace {

bool ApplyVolumeTo(GstElement* graph, bool hasAudio, long volume) {
  if (!graph || !hasAudio || volume < CMyVideoPlayer::kSilence || volume > 0) return false;
  const double linear = gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_DB, GST_STREAM_VOLUME_FORMAT_LINEAR,
                                                         static_cast<double>(volume) / 100.0);
  gst_stream_volume_set_volume(GST_STREAM_VOLUME(graph), GST_STREAM_VOLUME_FORMAT_LINEAR, linear);
  return true;
}

}  // namespace

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
  missingPlugin_.clear();
  useGrabber_ = useGrabber;
  volume_.store(0);  // a loaded file starts at full volume; a continuation keeps the volume set
  videoWindow_.store(videoWindow);
  int result = kOk;
  PlaybackPtr playback = Prepare(path, useGrabber, result);
  if (!playback) return result;
  if (!playback->sink->NegotiatedSize(nativeWidth_, nativeHeight_)) nativeWidth_ = nativeHeight_ = 0;
  {
    std::lock_guard guard(stateLock_);
    current_ = playback;
  }
  if (!Run()) {
    KALIMO_LOG_ERROR("%s", FormatResultText(kFail).c_str());
    Close();
    return kFail;
  }
  return kOk;
}

CMyVideoPlayer::PlaybackPtr CMyVideoPlayer::Prepare(const std::string& path, bool useGrabber, int& result) {
  auto playback = std::make_shared<Playback>();
  playback->path = path;
  BgrFrameReader tap;
  if (useGrabber) tap = [this](const FrameView& frame) { grabber_.BufferCB(0, frame); };
  playback->sink = std::make_unique<BgrFrameSink>(std::move(tap), [this] {
    if (VideoWindow* window = videoWindow_.load()) window->PreviewFrameArrived();
  });
  if (!playback->sink->IsValid()) {
    KALIMO_LOG_ERROR("%s", FormatResultText(kUnsupportedStream).c_str());
    result = kUnsupportedStream;
    return nullptr;
  }
  playback->sink->SetPaced(paced_.load());
  playback->graph = BuildPlaybackPipeline(path, playback->sink->Element(), soundOutput_, result);
  if (!playback->graph) return nullptr;
  gst_object_ref_sink(playback->graph);
  playback->events.Attach(playback->graph);
  std::string missing;
  result = PrerollPipeline(playback->graph, path, missing);
  if (missingPlugin_.empty()) missingPlugin_ = missing;
  if (Failed(result)) return nullptr;
  DiscardBusMessages(playback->graph);
  playback->events.SetLoading(false);
  if (useGrabber) {
    result = CheckVideoReachedSink(playback->sink->Element());
    if (Failed(result)) return nullptr;
  }
  playback->hasAudio = SoundReachedSink(playback->graph);
  const Playback* self = playback.get();
  playback->events.SetEndHandler([this, self] { return OnPlaybackEnded(self); });
  playback->events.SetOwner(videoWindow_.load());
  return playback;
}

CMyVideoPlayer::PlaybackPtr CMyVideoPlayer::Current() const {
  std::lock_guard guard(stateLock_);
  return current_;
}

bool CMyVideoPlayer::TakeNextEvent(Event& event) {
  ReleaseRetired();
  const PlaybackPtr playback = Current();
  return playback && playback->events.TakeNext(event);
}

void CMyVideoPlayer::SetContinuation(const std::string& path) {
  PlaybackPtr replaced;
  PlaybackPtr next;
  int result = kOk;
  if (!path.empty() && IsLoaded()) next = Prepare(path, useGrabber_, result);
  {
    std::lock_guard guard(stateLock_);
    replaced = std::move(prepared_);
    // Closed meanwhile: the prepared file goes with it.
    if (current_) {
      prepared_ = next;
      preparedFailed_ = !path.empty() && !next;
    } else {
      replaced = std::move(next);
    }
  }
  // `replaced` is released here, outside the lock.
}

// On the ended file's streaming thread: the prepared file starts at once, so that its first frame
// follows the last one without a pause. The ended pipeline is not stopped from its own thread; the
// owner releases it.
bool CMyVideoPlayer::OnPlaybackEnded(const Playback* ended) {
  PlaybackPtr next;
  PlaybackPtr failedAfter;  // the playing file, whose queued successor could not be opened
  {
    std::lock_guard guard(stateLock_);
    if (!current_ || current_.get() != ended) return false;
    if (preparedFailed_) {
      preparedFailed_ = false;
      failedAfter = current_;
    } else {
      if (!prepared_) return false;
      next = std::move(prepared_);
      retired_.push_back(std::move(current_));
      current_ = next;
    }
  }
  if (failedAfter) {
    failedAfter->events.Push(Event::Error);
    return true;
  }
  // The volume set now, not when the file was prepared: the user may have changed it since.
  ApplyVolumeTo(next->graph, next->hasAudio, volume_.load());
  gst_element_set_state(next->graph, GST_STATE_PLAYING);
  next->events.Push(Event::Continued);
  return true;
}

void CMyVideoPlayer::ReleaseRetired() {
  std::vector<PlaybackPtr> retired;
  {
    std::lock_guard guard(stateLock_);
    retired.swap(retired_);
  }
}

std::string CMyVideoPlayer::CurrentPath() const {
  const PlaybackPtr playback = Current();
  return playback ? playback->path : std::string();
}

void CMyVideoPlayer::Close() {
  videoWindow_.store(nullptr);
  PlaybackPtr current;
  PlaybackPtr prepared;
  std::vector<PlaybackPtr> retired;
  {
    std::lock_guard guard(stateLock_);
    current = std::move(current_);
    prepared = std::move(prepared_);
    retired.swap(retired_);
    preparedFailed_ = false;
  }
  // Released here, outside the lock: a streaming thread may be waiting for it.
}

bool CMyVideoPlayer::Run() {
  const PlaybackPtr playback = Current();
  return playback && gst_element_set_state(playback->graph, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

bool CMyVideoPlayer::Pause() {
  const PlaybackPtr playback = Current();
  if (!playback || gst_element_set_state(playback->graph, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
  // Wait for the paused picture, so that a position read right after is the paused one.
  return gst_element_get_state(playback->graph, nullptr, nullptr, kSettleTimeout) != GST_STATE_CHANGE_FAILURE;
}

bool CMyVideoPlayer::GetCurrentPosition(MediaTime& time) const {
  const PlaybackPtr playback = Current();
  gint64 position = 0;
  if (!playback || !gst_element_query_position(playback->graph, GST_FORMAT_TIME, &position)) return false;
  time = std::chrono::duration_cast<MediaTime>(std::chrono::nanoseconds(position));
  return true;
}

bool CMyVideoPlayer::GetDuration(MediaTime& duration) const {
  const PlaybackPtr playback = Current();
  gint64 length = 0;
  if (!playback || !gst_element_query_duration(playback->graph, GST_FORMAT_TIME, &length) || length < 0) return false;
  duration = std::chrono::duration_cast<MediaTime>(std::chrono::nanoseconds(length));
  return true;
}

bool CMyVideoPlayer::SetPosition(MediaTime time) {
  const PlaybackPtr playback = Current();
  if (!playback) return false;
  // A position before the start means the start, as file parsers treat it.
  if (time < MediaTime::zero()) time = MediaTime::zero();
  MediaTime current{};
  if (GetCurrentPosition(current) && current == time) return true;
  // Paused, the sought picture arrives only as a preroll: it goes to the camera too.
  GstState state = GST_STATE_VOID_PENDING;
  GstState pending = GST_STATE_VOID_PENDING;
  const bool paused = gst_element_get_state(playback->graph, &state, &pending, 0) == GST_STATE_CHANGE_SUCCESS &&
                      state == GST_STATE_PAUSED;
  if (paused && playback->sink) playback->sink->TapNextPreroll();
  if (gst_element_seek_simple(playback->graph, GST_FORMAT_TIME,
                              static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                              std::chrono::duration_cast<std::chrono::nanoseconds>(time).count())) {
    // Let the seek settle, so that the position read next (a skip after a seek) is the new one.
    gst_element_get_state(playback->graph, nullptr, nullptr, kSettleTimeout);
    return true;
  }
  KALIMO_LOG_INFO("Failure to get postion error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::SkipForward() {
  MediaTime current{};
  if (!GetCurrentPosition(current)) return false;
  return SetPosition(current + kSkipStep);
}

bool CMyVideoPlayer::SkipBack() {
  MediaTime current{};
  if (!GetCurrentPosition(current)) return false;
  return SetPosition(current - kSkipStep);
}

bool CMyVideoPlayer::Mute() {
  const PlaybackPtr playback = Current();
  if (!playback) return false;
  if (ApplyVolumeTo(playback->graph, playback->hasAudio, kSilence)) {
    volume_.store(kSilence);
    return true;
  }
  KALIMO_LOG_INFO("Failure to Close volume error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::SetVolume(long volume) {
  const PlaybackPtr playback = Current();
  if (!playback) return false;
  if (ApplyVolumeTo(playback->graph, playback->hasAudio, volume)) {
    volume_.store(volume);
    return true;
  }
  KALIMO_LOG_INFO("Failure to set volume error code= %d", kFail);
  return false;
}

bool CMyVideoPlayer::GetVolume(long& volume) const {
  const PlaybackPtr playback = Current();
  if (!playback) return false;
  if (!playback->hasAudio) {
    KALIMO_LOG_INFO("Failure to get volume error code= %d", kFail);
    return false;
  }
  const double linear =
      gst_stream_volume_get_volume(GST_STREAM_VOLUME(playback->graph), GST_STREAM_VOLUME_FORMAT_LINEAR);
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

bool CMyVideoPlayer::CurrentVideoSize(int& width, int& height) const {
  const PlaybackPtr playback = Current();
  return playback && playback->sink->NegotiatedSize(width, height);
}

bool CMyVideoPlayer::ReadPreviewFrame(const BgrFrameReader& reader) const {
  const PlaybackPtr playback = Current();
  return playback && playback->sink->ReadLatestFrame(reader);
}

std::uint64_t CMyVideoPlayer::FramesDelivered() const {
  const PlaybackPtr playback = Current();
  return playback ? playback->sink->FramesDelivered() : 0;
}

double CMyVideoPlayer::FrameRate() const {
  const PlaybackPtr playback = Current();
  return playback ? playback->sink->NegotiatedFrameRate() : 0;
}

void CMyVideoPlayer::SetFramePacing(bool paced) {
  paced_.store(paced);
  if (const PlaybackPtr playback = Current()) playback->sink->SetPaced(paced);
}

}  // namespace kalimo::media
