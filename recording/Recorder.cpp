#include "recording/Recorder.h"

#include <memory>
#include <mutex>

#include "common/Messages.h"
#include "library/ListFile.h"
#include "library/VideoGroupStore.h"
#include "library/settings/SettingParams.h"
#include "recording/MediaFileNames.h"
#include "recording/MovieFileWriter.h"
#include "recording/Snapshot.h"
#include "recording/StorageFolders.h"

namespace kalimo {

namespace {

// The one writer of the running recording, guarded by recordingLock: every append happens inside
// the lock, and a writer is unpublished inside it, so no append ever meets a destroyed writer.
std::mutex recordingLock;
std::unique_ptr<MovieFileWriter> activeMovieWriter;

MovieSizeSettings CurrentMovieSizeSettings() {
  const SettingValues settings = GetCurrentSettings();
  return {settings.movieResolution, settings.frameWidth, settings.frameHeight};
}

void TakeSnapshot(const FrameView& frame) {
  if (!StorageFoldersPrepared()) PrepareStorageFolders();
  const SettingValues settings = GetCurrentSettings();
  const std::string path = MakeSnapshotFileName(GetPhotoFolder(settings));
  if (path.empty()) return;
  const FrameSize size =
      SnapshotSize({settings.frameWidth, settings.frameHeight}, LargestCameraFrameSize(), {frame.width, frame.height});
  SaveSnapshot(frame.bits, static_cast<int>(frame.byteCount), frame.width, frame.height, path, size);
}

// Unpublishes the running writer; the caller finishes it outside the lock.
std::unique_ptr<MovieFileWriter> TakeActiveWriter() {
  std::lock_guard guard(recordingLock);
  return std::move(activeMovieWriter);
}

}  // namespace

void OnCameraFrame(CameraControlState& control, const FrameView& frame) {
  if (control.recordingFlag.load() != 1 && control.snapshotRequestFlag.load() != 1) return;

  // Taking the request clears it in the same step: one request, one photo, whatever the threads.
  int requested = 1;
  if (control.snapshotRequestFlag.compare_exchange_strong(requested, 0)) {
    TakeSnapshot(frame);
    if (control.notices) control.notices->PostSnapshotFinished();
  }

  if (control.recordingFlag.load() != 1) return;
  std::string failure;
  {
    std::lock_guard guard(recordingLock);
    if (!activeMovieWriter) return;
    // A writer that already failed was reported then; the control bar is stopping it.
    if (activeMovieWriter->Mode() == MovieFileWriter::kClosed) return;
    if (activeMovieWriter->AppendFrameWithStartCheck(CurrentMovieSizeSettings, frame.width, frame.height, frame.bits,
                                                     frame.byteCount) != kAppendSucceeded) {
      failure = activeMovieWriter->ErrorMessage();
    }
  }
  // Outside the lock: a stop requested meanwhile never waits for the user.
  if (!failure.empty()) {
    ShowWarning(failure);
    if (control.notices) control.notices->PostRecordedFrameFailed();
  }
}

void StartMovie(const std::string& path, FrameSize screen) {
  StopMovie();  // a recording still running is finished; its name is dropped
  auto writer = std::make_unique<MovieFileWriter>(path, kMovieFrameRate, screen.width, screen.height);
  std::lock_guard guard(recordingLock);
  activeMovieWriter = std::move(writer);
}

std::string StopMovie() {
  std::unique_ptr<MovieFileWriter> writer = TakeActiveWriter();
  if (!writer) return {};
  std::string path = writer->FileName();
  writer.reset();  // finishes the file
  return path;
}

bool IsMovieActive() {
  std::lock_guard guard(recordingLock);
  return activeMovieWriter != nullptr;
}

bool StartRecording(CameraControlState& control, bool cameraOpen, FrameSize screen) {
  if (!StorageFoldersPrepared()) PrepareStorageFolders();
  const std::string path = MakeMovieFileName(GetMovieFolder(GetCurrentSettings()));
  if (path.empty()) return false;
  if (!cameraOpen) {
    // The same box as the camera bar's "摄像头没有打开，不能拍照": caption "Kalimo", warning icon.
    PresentMessage({"Kalimo", kCameraNotOpenForMovieText, UserMessage::Icon::Warning, false});
    return false;
  }
  StartMovie(path, screen);
  control.recordingFlag = 1;
  return true;
}

std::string StopRecording(CameraControlState& control) {
  control.recordingFlag = 0;
  return StopMovie();
}

bool OfferRecordingToVideoList(const std::string& moviePath) {
  if (moviePath.empty() || !AskQuestion(kAddRecordingQuestion)) return false;
  return AddRecordingToVideoList(moviePath);
}

bool AddRecordingToVideoList(const std::string& moviePath) {
  if (moviePath.empty()) return false;
  // A bare path line is a video of the default group; a path holding "&" would be split into a
  // group name and a path, so it is written with the default group's name in front.
  const std::string line =
      moviePath.find('&') == std::string::npos ? moviePath : std::string(DefaultGroupName) + "&" + moviePath;
  return ListFile::AppendToList(kGroupListFileName, line);
}

}  // namespace kalimo
