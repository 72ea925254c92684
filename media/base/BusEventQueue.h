#pragma once
// The events of a pipeline that its owner must act on — the end of the stream and errors — kept
// in a queue of their own and announced through VideoWindow::GraphEventsWaiting, from whatever
// thread posted them. Everything else on the bus is dropped, so nothing piles up on a long run;
// while the pipeline is being started, its outcome messages are left on the bus for the loader.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "media/base/VideoWindow.h"

typedef struct _GstElement GstElement;

namespace kalimo::media {

// Continued: the owner went on into the file queued for a continuation without stopping (pushed by
// the owner, never posted by a pipeline).
enum class PipelineEvent { EndOfStream, Error, Continued };

class BusEventQueue {
 public:
  BusEventQueue() = default;
  ~BusEventQueue() { Detach(); }
  BusEventQueue(const BusEventQueue&) = delete;
  BusEventQueue& operator=(const BusEventQueue&) = delete;

  // Starts filtering `pipeline`'s bus, in the loading mode.
  void Attach(GstElement* pipeline);
  void Detach();  // before the pipeline goes; clears the queue
  void SetLoading(bool loading) { loading_.store(loading); }
  void SetOwner(VideoWindow* owner) { owner_.store(owner); }

  // Runs on the streaming thread at the end of the stream; true when it took the end over (the
  // owner goes on with another pipeline), so that no EndOfStream is queued here.
  void SetEndHandler(std::function<bool()> handler);
  // Queues `event` and announces it, as if the pipeline had posted it.
  void Push(PipelineEvent event);

  bool TakeNext(PipelineEvent& event);

 private:
  static int SyncHandler(void* bus, void* message, void* self);
  GstElement* pipeline_ = nullptr;
  std::atomic<bool> loading_{true};
  std::atomic<VideoWindow*> owner_{nullptr};
  std::mutex lock_;
  std::deque<PipelineEvent> events_;
  std::function<bool()> endHandler_;  // guarded by lock_
};

// Tells the owner nothing more, stops `pipeline` and drops it (it becomes null): the one way a
// media source closes its pipeline.
void ReleasePipeline(GstElement*& pipeline, BusEventQueue& events);

}  // namespace kalimo::media
