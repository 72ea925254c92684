#pragma once
// What a player needs from the window that shows it. Both notices may come from a streaming
// thread: a window turns them into queued repaints or signals and never touches widgets there.
namespace kalimo::media {

class VideoWindow {
 public:
  virtual ~VideoWindow() = default;
  // A new picture is waiting in the player's preview; repaint soon.
  virtual void PreviewFrameArrived() = 0;
  // Events wait in the player's event queue; take them on the window's own thread.
  virtual void GraphEventsWaiting() = 0;
};

}  // namespace kalimo::media
