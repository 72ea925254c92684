#pragma once
// Photos and movies of the real camera, taken from the frames the camera's grabber delivers.
//
// The camera control bar owns a CameraControlState; the camera's grabber callback passes it to
// OnCameraFrame for every frame, after the frame went to the frame section. The grabber thread
// never touches widgets: it reads and takes the flags and reports through CameraControlNotices.
#include <atomic>
#include <string>

#include "common/FrameSectionLayout.h"
#include "recording/Snapshot.h"

namespace kalimo {

// The camera control bar's side of the grabber thread. Both calls come on the grabber thread and
// must only post to the user-interface thread (queued signal or event), never touch widgets.
class CameraControlNotices {
 public:
  virtual ~CameraControlNotices() = default;
  // A photo attempt has ended, whether or not a photo was saved (the control bar clears the
  // request and enables its buttons again).
  virtual void PostSnapshotFinished() = 0;
  // Writing a recorded frame failed; the control bar stops the recording without asking about
  // the playlist. The writer's message has already been handed to ShowWarning.
  virtual void PostRecordedFrameFailed() = 0;
};

// Flags owned by the camera control bar and read by the grabber thread.
struct CameraControlState {
  std::atomic<int> recordingFlag{0};        // 1 while recording
  std::atomic<int> snapshotRequestFlag{0};  // 1 while a photo is asked for
  CameraControlNotices* notices = nullptr;  // may be null (no control bar)
};

// The snapshot and recording steps for one frame of 24-bit bottom-up rows padded to 4 bytes. One
// snapshot request yields one photo, also with frames arriving on several threads. A failed append
// shows the writer's message through ShowWarning after recordingLock is released, and posts
// PostRecordedFrameFailed.
void OnCameraFrame(CameraControlState& control, const FrameView& frame);

// Stops a running recording first (its name is dropped), then publishes a new writer for `path`
// at 12 frames per second. The file is created by the first frame. `screen` (the primary screen's
// size, empty when unknown) only sizes the writer's frame buffer.
void StartMovie(const std::string& path, FrameSize screen = {});
// The path of the stopped recording (also when it never received a frame), or empty when none ran.
std::string StopMovie();
// True while a writer is published.
bool IsMovieActive();

inline constexpr int kMovieFrameRate = 12;
inline constexpr const char* kCameraNotOpenForMovieText = "摄像头没有打开，不能录像";
inline constexpr const char* kAddRecordingQuestion =
    "视频录制成功，是否需要把刚才录制的视频添加到虚拟视频的播放列表中";

// The record button while not recording: makes the movie name (after PrepareStorageFolders),
// refuses with "摄像头没有打开，不能录像" when the camera is not open, else StartMovie and sets the
// recording flag. True when recording started.
bool StartRecording(CameraControlState& control, bool cameraOpen, FrameSize screen = {});

// The record button while recording (or a write failure, or closing the camera window): clears
// the recording flag and stops the movie. Returns the movie's path (empty when none ran).
std::string StopRecording(CameraControlState& control);

// After the user's stop: asks whether the movie goes to the video list and, on OK, appends its
// path to "chapters.dat" as a bare last line. True when the line was added.
bool OfferRecordingToVideoList(const std::string& moviePath);
// Appends `moviePath` to "chapters.dat" as a bare last line; true when the list was written.
bool AddRecordingToVideoList(const std::string& moviePath);

}  // namespace kalimo
