#pragma once
// Which video of which group plays, and what follows when one ends, by the group's play mode:
// the next video with wrap-around, the same video again, nothing, or the group's idle video.
//
// Positions are 0-based positions in the current group's videos. The sequencer works on the
// panel's group store and drives the player through GroupPlayback; the tree's play marker moves
// through GroupMarkers. No Qt, no GStreamer: the video tab wires both sides.
#include <cstdint>
#include <functional>
#include <string>

#include "common/MediaTime.h"
#include "library/VideoGroupStore.h"

namespace kalimo {

// What the sequencer asks of the video window and its player.
class GroupPlayback {
 public:
  virtual ~GroupPlayback() = default;
  // Loads and starts the file, reporting success or the failure in the status line.
  virtual bool PlayVideoFile(const std::string& path) = 0;
  // Stops and releases the loaded file.
  virtual void Close() = 0;
  // Seeks the loaded file; false when it cannot.
  virtual bool SetPosition(MediaTime time) = 0;
  // The file to go on with, without stopping, when the playing one ends (the same path: play it
  // again; empty: stop at the end). A player without that ignores it and reports the end instead.
  virtual void QueueContinuation(const std::string& /*path*/) {}
};

// The play marker on the tree's video items.
class GroupMarkers {
 public:
  virtual ~GroupMarkers() = default;
  // Shows (`playing`) or clears the marker on the video item at `position` of the group item
  // named `group`; a missing item or position marks nothing.
  virtual void SetVideoMarker(const std::string& group, std::int32_t position, bool playing) = 0;
};

// What the end of the playing video leads to.
struct EndOfVideoStep {
  enum Kind { kNothing, kRepeat, kPlayNext };
  Kind kind = kNothing;
  std::int32_t position = -1;  // for kPlayNext: the position to play
};

class GroupSequencer {
 public:
  GroupSequencer(VideoGroupStore& groups, GroupPlayback& playback, GroupMarkers* markers = nullptr);

  const std::string& CurrentGroupName() const { return currentGroupName_; }
  std::int32_t CurrentIndex() const { return currentIndex_; }
  const std::string& MarkedGroupName() const { return markedGroupName_; }
  void SetCurrentGroupName(const std::string& name) { currentGroupName_ = name; }

  // The position that follows `position` under the current group's mode; -1 for nothing.
  std::int32_t NextGroupIndex(std::int32_t position) const;
  // Starts the video at `position` of the current group, falling back along NextGroupIndex while
  // a video cannot be played; no position is tried twice. True when one started.
  bool PlayGroupVideo(std::int32_t position);
  // A position of `group`, which becomes current first (a double click in the tree, adding videos,
  // a bookmark of another group's editor), so its named video starts; the marker leaves the group
  // it was shown in.
  bool PlayGroupVideoOf(const std::string& group, std::int32_t position);

  // What the end of the playing video leads to, without doing it (the gapless player asks
  // ahead of the end).
  EndOfVideoStep StepAtEnd() const;
  // The end-of-video rule: nothing, the same file again by seeking, or the next video.
  void OnVideoEnded();
  // Tells the player what follows the playing video under the current state, so that it can go
  // on without stopping; called after every start and by the panel after each change of groups.
  void RefreshContinuation();
  // The player went on into the queued file `path` by itself: the state, the marker and the next
  // continuation follow as if PlayGroupVideo had started it.
  void OnContinued(const std::string& path);
  // The queued file could not be played: the end-of-video rule by reloading, with its fallbacks.
  void OnContinuationFailed();

  // Makes the video at `position` (of `group`, which becomes current) play, asking `confirm`
  // first when another video plays, then moves it to `seconds`. False when the user declined.
  bool TriggerBookmark(const std::string& group, std::int32_t position, std::int64_t seconds,
                       const std::function<bool()>& confirm);

  // Whether the video at `position` of `group` is that group's idle video.
  bool IsSeamlessPosition(const std::string& group, std::int32_t position) const;

  // A renamed group keeps playing and keeps its marker.
  void OnGroupRenamed(const std::string& oldName, const std::string& newName);

 private:
  void MarkStarted(std::int32_t position);

  VideoGroupStore& groups_;
  GroupPlayback& playback_;
  GroupMarkers* markers_;
  std::string currentGroupName_;
  std::int32_t currentIndex_ = -1;
  std::string markedGroupName_;
  std::int32_t queuedPosition_ = -1;  // the position of the queued continuation
};

}  // namespace kalimo
