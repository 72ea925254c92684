#pragma once
// Plays one video file: shows its pictures in a video window, plays its sound, and, when loaded
// with the frame tap, passes every decoded picture to the frame section so that the virtual camera
// shows the video. A file queued to follow is opened beside the playing one and started when that
// one ends (two pipelines, not playbin's own switch, which deadlocks in GStreamer 1.22 on files
// with sound and pictures). Times are in 100-ns units, volumes in hundredths of a decibel (-10000
// silence, 0 full), results are the codes of MediaResult.h.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/MediaTime.h"
#include "media/base/BgrFrameSink.h"
#include "media/base/BusEventQueue.h"
#include "media/base/FrameTap.h"
#include "media/base/VideoWindow.h"

typedef struct _GstElement GstElement;

namespace kalimo::media {

class CMyVideoPlayer {
 public:
  using Event = PipelineEvent;

  static constexpr MediaTime kSkipStep = std::chrono::seconds(5);
  static constexpr long kSilence = -10000;

  CMyVideoPlayer();
  ~CMyVideoPlayer();
  CMyVideoPlayer(const CMyVideoPlayer&) = delete;
  CMyVideoPlayer& operator=(const CMyVideoPlayer&) = delete;

  // Loads `path` with the frame tap and starts playing it. `videoWindow` may be null.
  int OpenFile(VideoWindow* videoWindow, const std::string& path);
  // Loads and starts playing. `useGrabber` false (the bookmark dialog) shows the picture but writes
  // nothing to the frame section. `useRenderFile` selects nothing any more: both ways of building
  // are the same pipeline here.
  int LoadFile(const std::string& path, VideoWindow* videoWindow, bool useRenderFile, bool useGrabber);
  void Close();
  bool IsLoaded() const { return Current() != nullptr; }

  bool Run();
  bool Pause();

  bool SetPosition(MediaTime time);
  bool GetCurrentPosition(MediaTime& time) const;
  bool GetDuration(MediaTime& duration) const;
  bool SkipForward();
  bool SkipBack();

  bool Mute();
  bool SetVolume(long volume);
  // Fails for a file without sound, which tells the control bar to disable its volume controls.
  bool GetVolume(long& volume) const;

  // The step after each frame the tap put into the frame section (see FrameTap).
  void SetFrameStep(FrameTap::FrameStep step) { grabber_.SetFrameStep(std::move(step)); }

  // Whether files loaded from now on play their sound (the default) or drop it at the same pace.
  void SetSoundOutput(bool on) { soundOutput_ = on; }
  // After a failed load: the GStreamer plugin that was missing for the file, with the installer's
  // detail; empty when none was reported.
  const std::string& MissingPlugin() const { return missingPlugin_; }

  // The video's own size, known once a file is loaded.
  int NativeWidth() const { return nativeWidth_; }
  int NativeHeight() const { return nativeHeight_; }
  // The size of the pictures arriving now (after a continuation, the new file's); false before any.
  bool CurrentVideoSize(int& width, int& height) const;

  // The file to go on with when the playing one ends, without stopping: it is opened and made
  // ready now, beside the playing one, and starts the moment the playing one ends (the same path
  // plays the file again). Used once: the Continued event tells that it started, and the owner
  // then queues the following one. An empty path (the default) lets the file end with EndOfStream.
  // A queued file that cannot be played ends the playing one in an Error event. Call it on the
  // owner's thread; it waits until the queued file's first picture is ready.
  void SetContinuation(const std::string& path);
  // The path of the file playing now (changes with each continuation).
  std::string CurrentPath() const;

  // Takes the next waiting event without blocking; false when none is left. Call it on the
  // owner's thread after VideoWindow::GraphEventsWaiting.
  bool TakeNextEvent(Event& event);

  // The latest decoded picture, for the video window's painting (stretched over the window).
  bool ReadPreviewFrame(const BgrFrameReader& reader) const;
  // Frames that reached the frame sink since the playing file was loaded or continued into.
  std::uint64_t FramesDelivered() const;
  // Frames per second of the source; 0 when unknown.
  double FrameRate() const;
  // Unpaced, pictures go to the frame section as fast as they are decoded instead of at their time
  // (for measuring the decoder on a file without sound, whose sound sink would still pace).
  void SetFramePacing(bool paced);

 private:
  // One opened file: its pipeline, its frame sink and its events.
  struct Playback;
  using PlaybackPtr = std::shared_ptr<Playback>;

  // Opens `path` and prerolls it (paused on its first picture).
  PlaybackPtr Prepare(const std::string& path, bool useGrabber, int& result);
  // The playing file, held for the call: a continuation may replace it meanwhile.
  PlaybackPtr Current() const;
  // At the end of the playing file, on its streaming thread: starts the prepared one.
  bool OnPlaybackEnded(const Playback* ended);
  // Releases the files a continuation left behind, on the owner's thread and outside the lock.
  void ReleaseRetired();

  bool ready_ = false;  // GStreamer could be initialised
  // Each frame at the size the frame itself carries, so that a continuation into a file of another
  // size needs nobody to tell the tap; its size records belong to the player's log. Declared before
  // the playbacks, so it outlives them.
  FrameTap grabber_{__FILE__};
  std::atomic<VideoWindow*> videoWindow_{nullptr};  // preview and event notices
  bool soundOutput_ = true;
  bool useGrabber_ = true;
  std::atomic<bool> paced_{true};
  std::atomic<long> volume_{0};  // the volume last set, which a continuation keeps
  std::string missingPlugin_;
  int nativeWidth_ = 0;
  int nativeHeight_ = 0;
  mutable std::mutex stateLock_;  // guards the three below and the prepared file's failure
  PlaybackPtr current_;
  PlaybackPtr prepared_;              // the queued file, ready to start
  bool preparedFailed_ = false;       // the queued file could not be opened
  std::vector<PlaybackPtr> retired_;  // ended files, released on the owner's thread
};

}  // namespace kalimo::media
