#pragma once
// Plays one video file: shows its pictures in a video window, plays its sound, and, when loaded
// with the frame tap, passes every decoded picture to the frame section so that the virtual camera
// shows the video. Times are in 100-ns units, volumes in hundredths of a decibel (-10000 silence,
// 0 full), results are the codes of MediaResult.h.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "media/BgrFrameSink.h"
#include "media/BusEventQueue.h"
#include "media/CMyVideoSampleGrabberCB.h"
#include "media/VideoWindow.h"

typedef struct _GstElement GstElement;

namespace kalimo::media {

class CMyVideoPlayer {
 public:
  using Event = PipelineEvent;

  static constexpr std::int64_t kSkipStep = 50'000'000;  // 5 s
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
  bool IsLoaded() const { return graph_ != nullptr; }

  bool Run();
  bool Pause();

  bool SetPosition(std::int64_t time);
  bool GetCurrentPosition(std::int64_t& time) const;
  bool GetDuration(std::int64_t& duration) const;
  bool SkipForward();
  bool SkipBack();

  bool Mute();
  bool SetVolume(long volume);
  // Fails for a file without sound, which tells the control bar to disable its volume controls.
  bool GetVolume(long& volume) const;

  // The step after each frame the tap put into the frame section (see CMyVideoSampleGrabberCB).
  void SetFrameStep(CMyVideoSampleGrabberCB::FrameStep step) { grabber_.SetFrameStep(std::move(step)); }

  // Whether files loaded from now on play their sound (the default) or drop it at the same pace.
  void SetSoundOutput(bool on) { soundOutput_ = on; }
  // After a failed load: the GStreamer plugin that was missing for the file, with the installer's
  // detail; empty when none was reported.
  const std::string& MissingPlugin() const { return missingPlugin_; }

  // The video's own size, known once a file is loaded.
  int NativeWidth() const { return nativeWidth_; }
  int NativeHeight() const { return nativeHeight_; }
  // The size of the pictures arriving now (after a continuation, the new file's); false before any.
  bool CurrentVideoSize(int& width, int& height) const { return sink_ && sink_->NegotiatedSize(width, height); }

  // The file to go on with when the playing one ends, without stopping or reloading: the next
  // file is opened while the current one plays out (the same path plays the file again). Used once:
  // the Continued event tells that it started, and the owner then queues the following one. An
  // empty path (the default) lets the file end with EndOfStream. A queued file that cannot be
  // played ends in an Error event.
  void SetContinuation(const std::string& path);
  // The path of the file playing now (changes with each continuation).
  std::string CurrentPath() const;

  // Takes the next waiting event without blocking; false when none is left. Call it on the
  // owner's thread after VideoWindow::GraphEventsWaiting.
  bool TakeNextEvent(Event& event);

  // The latest decoded picture, for the video window's painting (stretched over the window).
  bool ReadPreviewFrame(const BgrFrameReader& reader) const;
  // Frames that reached the frame sink since the file was loaded.
  std::uint64_t FramesDelivered() const { return sink_ ? sink_->FramesDelivered() : 0; }
  // Frames per second of the source; 0 when unknown.
  double FrameRate() const { return sink_ ? sink_->NegotiatedFrameRate() : 0; }
  // Unpaced, pictures go to the frame section as fast as they are decoded instead of at their time
  // (for measuring the decoder on a file without sound, whose sound sink would still pace).
  void SetFramePacing(bool paced) {
    if (sink_) sink_->SetPaced(paced);
  }

 private:
  int LoadFileUnguarded(const std::string& path, VideoWindow* videoWindow, bool useGrabber);
  static void OnAboutToFinish(GstElement* playbin, void* self);
  bool ApplyVolume(long volume);

  bool ready_ = false;  // GStreamer could be initialised
  CMyVideoSampleGrabberCB grabber_;  // declared before the sink and the graph, so it outlives them
  GstElement* graph_ = nullptr;
  std::unique_ptr<BgrFrameSink> sink_;
  std::atomic<VideoWindow*> videoWindow_{nullptr};  // preview notices
  BusEventQueue events_;  // its owner is registered once the file is loaded
  bool hasAudio_ = false;
  bool soundOutput_ = true;
  std::string missingPlugin_;
  int nativeWidth_ = 0;
  int nativeHeight_ = 0;
  mutable std::mutex continuationLock_;
  std::string continuation_;  // queued for the end of the playing file
  std::string currentPath_;
};

}  // namespace kalimo::media
