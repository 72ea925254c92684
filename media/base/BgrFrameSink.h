#pragma once
// The end of every video branch of the media sources: videoconvert ! appsink delivering BGR frames
// at the size they come in. Each frame is handed, while mapped, to a callback on the streaming
// thread (the frame tap), and is then kept, by reference and without a copy, as the latest frame
// for the preview.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "common/FrameSectionLayout.h"

typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;
typedef struct _GstAppSink GstAppSink;

namespace kalimo::media {

// Reads one decoded picture: BGR rows top-down, `stride` bytes apart, `byteCount` the size of the
// mapped frame (stride × height); the view is valid only during the call.
using BgrFrameReader = std::function<void(const FrameView& topDownFrame)>;

class BgrFrameSink {
 public:
  // `onFrame` runs on the streaming thread for every frame and must neither block nor keep the
  // pointer; `onPreview` runs there afterwards, to let a window schedule a repaint. Either may be
  // empty. `fixedCaps` narrows the accepted caps (for example a size), or is empty.
  BgrFrameSink(BgrFrameReader onFrame, std::function<void()> onPreview, const char* extraCaps = nullptr);
  ~BgrFrameSink();
  BgrFrameSink(const BgrFrameSink&) = delete;
  BgrFrameSink& operator=(const BgrFrameSink&) = delete;

  bool IsValid() const { return bin_ != nullptr; }
  // The bin to place in a pipeline (the sink keeps its own reference).
  GstElement* Element() const { return bin_; }

  // Gives the latest frame to `reader` on the calling thread; false when there is none.
  bool ReadLatestFrame(const BgrFrameReader& reader) const;
  void DropLatestFrame();
  // The size of the caps the appsink negotiated; false before negotiation.
  bool NegotiatedSize(int& width, int& height) const;
  // Frames per second of the negotiated caps; 0 when unknown or variable.
  double NegotiatedFrameRate() const;
  // Paced (the default) hands frames over at their presentation time; unpaced hands them over as
  // fast as they are decoded (measuring the decoder, converting files).
  void SetPaced(bool paced);
  std::uint64_t FramesDelivered() const { return framesDelivered_.load(); }
  // The next prerolled frame goes to the frame tap too, not only to the preview: a seek in a paused
  // pipeline, whose picture the tap's receivers (the camera) should show at once. Other prerolls
  // (a file opened, or prepared to follow the one playing) reach the tap only once it plays.
  void TapNextPreroll() { tapPreroll_.store(true); }

 private:
  static int OnNewSample(GstAppSink* sink, void* self);
  static int OnNewPreroll(GstAppSink* sink, void* self);
  void Deliver(GstSample* sample, bool tap);

  GstElement* bin_ = nullptr;
  GstElement* appsink_ = nullptr;
  BgrFrameReader onFrame_;
  std::function<void()> onPreview_;
  mutable std::mutex latestLock_;
  GstSample* latest_ = nullptr;
  std::atomic<std::uint64_t> framesDelivered_{0};
  std::atomic<bool> tapPreroll_{false};
};

}  // namespace kalimo::media
