#pragma once
// What kalimo-feed does with each frame after it reached the frame section: count it, append it
// to the movie of --record at the source's frame rate, and save the first one after arming as the
// photo of --snapshot. Called on the source's streaming thread; started, watched and finished on
// the main one, which stops the feed as soon as Failure() says something went wrong.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/FrameSectionLayout.h"
#include "recording/Snapshot.h"

namespace kalimo {
class MovieFileWriter;
}

namespace kalimo::feed {

class FeedRecorder {
 public:
  FeedRecorder(std::string recordPath, std::string snapshotPath);
  ~FeedRecorder();
  FeedRecorder(const FeedRecorder&) = delete;
  FeedRecorder& operator=(const FeedRecorder&) = delete;

  // Once the source's frame rate is known: frames from now on are recorded and photographed.
  // `photoSize` is the photo's size (empty: the frame's own size).
  void Arm(double framesPerSecond, FrameSize photoSize = {});
  void OnFrame(const FrameView& frame);
  // Finishes the movie; true when everything asked for succeeded (movie written, photo saved).
  bool Finish();

  // What failed ("cannot write the movie PATH: No space left on device"); empty while all is well.
  std::string Failure() const;
  // True once the photo was written.
  bool PhotoSaved() const { return snapshotSaved_.load(); }
  // After Finish: "movie PATH: N frames, S s"; empty without --record.
  const std::string& MovieSummary() const { return movieSummary_; }

  std::uint64_t Frames() const { return frames_.load(); }
  int Width() const { return width_.load(); }
  int Height() const { return height_.load(); }
  bool SnapshotPending() const { return snapshotPending_.load(); }

 private:
  void SetFailure(const std::string& text);

  std::string recordPath_;
  std::string snapshotPath_;
  std::atomic<bool> armed_{false};
  std::atomic<bool> snapshotPending_{false};
  std::atomic<bool> snapshotSaved_{false};
  FrameSize photoSize_;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::mutex movieLock_;  // guards movie_ and movieFailed_
  std::unique_ptr<MovieFileWriter> movie_;
  std::int32_t movieRate_ = 0;
  bool movieFailed_ = false;
  std::string failure_;
  std::string movieSummary_;
  mutable std::mutex failureLock_;
};

}  // namespace kalimo::feed
