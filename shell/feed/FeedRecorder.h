#pragma once
// What kalimo-feed does with each frame after it reached the frame section: count it, append it
// to the movie of --record at the source's frame rate, and save the first one after arming as the
// photo of --snapshot. Called on the source's streaming thread; started and finished on the main one.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

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
  void Arm(double framesPerSecond, PictureSize photoSize = {});
  void OnFrame(const unsigned char* frame, int width, int height, int length);
  // Finishes the movie; true when everything asked for succeeded (movie written, photo saved).
  bool Finish();

  std::uint64_t Frames() const { return frames_.load(); }
  int Width() const { return width_.load(); }
  int Height() const { return height_.load(); }
  bool SnapshotPending() const { return snapshotPending_.load(); }

 private:
  std::string recordPath_;
  std::string snapshotPath_;
  std::atomic<bool> armed_{false};
  std::atomic<bool> snapshotPending_{false};
  std::atomic<bool> snapshotSaved_{false};
  PictureSize photoSize_;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::mutex movieLock_;
  std::unique_ptr<MovieFileWriter> movie_;
  bool movieFailed_ = false;
};

}  // namespace kalimo::feed
