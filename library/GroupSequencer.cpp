#include "library/GroupSequencer.h"

#include <set>

namespace kalimo {

GroupSequencer::GroupSequencer(VideoGroupStore& groups, GroupPlayback& playback, GroupMarkers* markers)
    : groups_(groups), playback_(playback), markers_(markers) {}

std::int32_t GroupSequencer::NextGroupIndex(std::int32_t position) const {
  const VideoGroup* group = groups_.FindGroup(currentGroupName_);
  if (!group) return -1;
  const auto count = static_cast<std::int32_t>(group->videos.size());
  switch (group->playMode) {
    case PlayLoopGroup: {
      const std::int32_t next = position + 1;
      // Compared unsigned, so a position below -1 wraps too; an empty group does not wrap.
      if (count > 0 && static_cast<std::uint32_t>(next) > static_cast<std::uint32_t>(count - 1)) return 0;
      return next;
    }
    case PlayRepeatOne:
      return currentIndex_;
    case PlayOnce:
      return -1;
    case PlaySeamless:
      return group->seamlessVideo.empty() ? -1 : groups_.IndexOfGroupVideo(group->name, group->seamlessVideo);
    default:
      return position;
  }
}

bool GroupSequencer::PlayGroupVideo(std::int32_t position) {
  // Positions already tried in this chain: an unplayable file is never tried twice.
  std::set<std::int32_t> tried;
  std::int32_t request = position;
  for (;;) {
    const std::int32_t count = groups_.GetGroupVideoCount(currentGroupName_);
    if (count <= 0) {
      // Nothing left to play: the marker goes too, so no item stays marked without a video.
      if (markers_ && currentIndex_ >= 0) markers_->SetVideoMarker(markedGroupName_, currentIndex_, false);
      currentIndex_ = -1;
      playback_.Close();
      return false;
    }
    // A request outside the group plays the first video, and is then the first video.
    if (request < 0 || request >= count) request = 0;
    if (!tried.insert(request).second) return false;
    if (playback_.PlayVideoFile(groups_.GetGroupVideoAt(currentGroupName_, request))) {
      MarkStarted(request);
      return true;
    }
    const std::int32_t next = NextGroupIndex(request);
    if (next == -1 || next == position) return false;
    request = next;
  }
}

void GroupSequencer::MarkStarted(std::int32_t position) {
  const std::int32_t previous = currentIndex_;
  currentIndex_ = position;
  if (markers_) {
    if (previous >= 0) markers_->SetVideoMarker(markedGroupName_, previous, false);
    markers_->SetVideoMarker(currentGroupName_, position, true);
  }
  markedGroupName_ = currentGroupName_;
  RefreshContinuation();
}

bool GroupSequencer::PlayGroupVideoOf(const std::string& group, std::int32_t position) {
  // markedGroupName_ keeps naming the group whose item shows the marker, so the next start
  // clears it there even when a start in between failed.
  currentGroupName_ = group;
  return PlayGroupVideo(position);
}

EndOfVideoStep GroupSequencer::StepAtEnd() const {
  const std::int32_t next = NextGroupIndex(currentIndex_);
  if (next == -1 || currentIndex_ == -1) return {};
  if (next == currentIndex_) return {EndOfVideoStep::kRepeat, next};
  return {EndOfVideoStep::kPlayNext, next};
}

void GroupSequencer::OnVideoEnded() {
  const EndOfVideoStep step = StepAtEnd();
  if (step.kind == EndOfVideoStep::kNothing) return;
  if (step.kind == EndOfVideoStep::kRepeat && playback_.SetPosition(MediaTime::zero())) return;
  PlayGroupVideo(step.position);
}

void GroupSequencer::RefreshContinuation() {
  const EndOfVideoStep step = StepAtEnd();
  queuedPosition_ = step.kind == EndOfVideoStep::kNothing ? -1 : step.position;
  playback_.QueueContinuation(queuedPosition_ < 0 ? std::string()
                                                  : groups_.GetGroupVideoAt(currentGroupName_, queuedPosition_));
}

void GroupSequencer::OnContinued(const std::string& path) {
  std::int32_t position = queuedPosition_;
  // The groups may have changed since the file was queued: find it again by its path.
  if (position < 0 || groups_.GetGroupVideoAt(currentGroupName_, position) != path) {
    position = groups_.IndexOfGroupVideo(currentGroupName_, path);
  }
  if (position >= 0) {
    MarkStarted(position);
  } else {
    RefreshContinuation();
  }
}

void GroupSequencer::OnContinuationFailed() {
  const EndOfVideoStep step = StepAtEnd();
  if (step.kind != EndOfVideoStep::kNothing) PlayGroupVideo(step.position);
}

bool GroupSequencer::TriggerBookmark(const std::string& group, std::int32_t position, std::int64_t seconds,
                                     const std::function<bool()>& confirm) {
  const bool playing = group == currentGroupName_ && position == currentIndex_;
  if (!playing) {
    if (confirm && !confirm()) return false;
    PlayGroupVideoOf(group, position);
  }
  playback_.SetPosition(std::chrono::seconds(seconds));
  return true;
}

bool GroupSequencer::IsSeamlessPosition(const std::string& group, std::int32_t position) const {
  const VideoGroup* found = groups_.FindGroup(group);
  if (!found || found->seamlessVideo.empty()) return false;
  const std::int32_t index = groups_.IndexOfGroupVideo(group, found->seamlessVideo);
  return index != -1 && index == position;
}

void GroupSequencer::OnGroupRenamed(const std::string& oldName, const std::string& newName) {
  if (currentGroupName_ == oldName) currentGroupName_ = newName;
  if (markedGroupName_ == oldName) markedGroupName_ = newName;
}

}  // namespace kalimo
