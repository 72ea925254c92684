#include "shell/feed/FeedRecorder.h"

#include <cmath>
#include <cstdio>

#include "common/Logging.h"
#include "common/Messages.h"
#include "recording/MovieFileWriter.h"

namespace kalimo::feed {

FeedRecorder::FeedRecorder(std::string recordPath, std::string snapshotPath)
    : recordPath_(std::move(recordPath)), snapshotPath_(std::move(snapshotPath)) {}

FeedRecorder::~FeedRecorder() { Finish(); }

void FeedRecorder::Arm(double framesPerSecond, FrameSize photoSize) {
  photoSize_ = photoSize;
  if (!recordPath_.empty()) {
    // The AVI stream holds a whole number of frames per second; an unknown rate counts as 25.
    const auto rate = static_cast<std::int32_t>(framesPerSecond > 0 ? std::lround(framesPerSecond) : 25);
    std::lock_guard guard(movieLock_);
    movieRate_ = rate > 0 ? rate : 1;
    movie_ = std::make_unique<MovieFileWriter>(recordPath_, movieRate_);
  }
  snapshotPending_.store(!snapshotPath_.empty());
  armed_.store(true);
}

void FeedRecorder::OnFrame(const FrameView& frame) {
  frames_.fetch_add(1);
  width_.store(frame.width);
  height_.store(frame.height);
  if (!armed_.load()) return;
  if (snapshotPending_.exchange(false)) {
    const FrameSize size = photoSize_.width > 0 ? photoSize_ : FrameSize{frame.width, frame.height};
    snapshotSaved_.store(
        SaveSnapshot(frame.bits, static_cast<int>(frame.byteCount), frame.width, frame.height, snapshotPath_, size));
    if (snapshotSaved_.load()) {
      KALIMO_LOG_INFO("photo saved: %s", snapshotPath_.c_str());
    } else {
      SetFailure("cannot save the photo " + snapshotPath_);
    }
  }
  std::lock_guard guard(movieLock_);
  if (!movie_ || movieFailed_) return;
  if (movie_->AppendFrame(frame.width, frame.height, frame.bits, 24, frame.byteCount) != kAppendSucceeded) {
    movieFailed_ = true;
    const int code = movie_->SystemError();
    SetFailure("cannot write the movie " + recordPath_ + ": " + (code ? SystemErrorText(code) : movie_->ErrorMessage()));
  }
}

void FeedRecorder::SetFailure(const std::string& text) {
  KALIMO_LOG_ERROR("%s", text.c_str());
  std::lock_guard guard(failureLock_);
  if (failure_.empty()) failure_ = text;
}

std::string FeedRecorder::Failure() const {
  std::lock_guard guard(failureLock_);
  return failure_;
}

bool FeedRecorder::Finish() {
  armed_.store(false);
  bool ok = snapshotPath_.empty() || snapshotSaved_;
  std::lock_guard guard(movieLock_);
  if (movie_) {
    movie_->Close();
    const std::uint32_t frames = movie_->FramesWritten();
    ok = ok && !movieFailed_ && frames > 0;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(frames) / movieRate_);
    movieSummary_ = "movie " + recordPath_ + ": " + std::to_string(frames) + " frames, " + seconds + " s";
    movie_.reset();
  }
  return ok;
}

}  // namespace kalimo::feed
