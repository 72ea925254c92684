#pragma once
// The virtual camera's frame receiver: one per process, however many cameras the process opens.
// Its thread polls the frame section every 10 ms and keeps the last frames; each camera's output
// takes the oldest of them, scaled to the size its client negotiated.
//
// Plain C++: the operating system is reached only through platform/ReceiverPlatform.h.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/FrameSectionLayout.h"
#include "filter/core/ScaleFrame.h"

namespace kalimo {

// One received frame: a 24-bit bottom-up DIB seen through `view`, whose bytes `pBuffer` owns. The
// buffer is shared, not copied, when a frame record is copied; it is freed with its last owner.
struct tagFrame {
  FrameView view{nullptr, 640, 480, DibStride(640), 0};
  std::shared_ptr<const unsigned char[]> pBuffer;
};

// The placeholder for "no frame": 640 x 480 without a buffer.
inline tagFrame EmptyFrame() { return tagFrame{}; }

// The frame of `width` x `height` whose `byteCount` bytes are in `buffer`; EmptyFrame without a buffer.
inline tagFrame ReceivedFrame(std::shared_ptr<const unsigned char[]> buffer, std::int32_t width, std::int32_t height,
                              std::int32_t byteCount) {
  if (!buffer) return EmptyFrame();
  const FrameView view = DibFrame(buffer.get(), width, height, byteCount);
  return {view, std::move(buffer)};
}

// What the output negotiated, in the terms of a BITMAPINFOHEADER.
struct BitmapInfoHeader {
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biSizeImage = 0;
};

// Which frame of the list an output takes: the oldest (the list's full depth of about 110 ms,
// the steady default) or the newest (low latency: at most one poll behind the writer).
enum class FrameChoice { kOldest, kNewest };

// What the previous poll read, so that a frame the writer has not replaced since is shared instead
// of copied again, and how the reads went.
struct SectionReadState {
  bool useSequence = true;      // false: read as if the writer kept no sequence counter
  std::uint64_t sequence = 0;   // the counter (even) at which `frame` was read; 0 for none
  tagFrame frame;               // the last frame read whole
  std::uint64_t pixelCopies = 0;
  std::uint64_t tornCopies = 0;    // copies thrown away because the writer wrote meanwhile
  std::uint64_t skippedPolls = 0;  // polls given up because the writer kept writing
  std::vector<unsigned char> pixels;  // where copies land first, kept from poll to poll
};

// How the output buffer is laid out: the DIB's own bottom-up order and stride by default; top-down
// with the buffer's own stride for GStreamer. `size` bounds every write into the buffer.
struct OutputLayout {
  RowOrder order = RowOrder::kBottomUp;
  std::int64_t stride = 0;  // 0: the DIB stride of the negotiated width
  std::size_t size = 0;     // 0: biSizeImage
  FrameFit fit = FrameFit::kStretch;  // how a picture of another shape fills the output
};

class FrameReceiver {
 public:
  static constexpr int kPollIntervalMs = 10;
  static constexpr std::size_t kMaxFrames = 11;
  // A copy that overlapped a write is tried this often before the poll is skipped; a frame being
  // written is waited for, up to kWriteWaitMs, without using up an attempt.
  static constexpr int kReadAttempts = 3;
  static constexpr int kWriteWaitMs = 20;

  FrameReceiver() = default;
  ~FrameReceiver();  // stops the thread and frees every frame
  FrameReceiver(const FrameReceiver&) = delete;
  FrameReceiver& operator=(const FrameReceiver&) = delete;

  // Starts the receive thread; false (and logged) when it cannot be started.
  bool Start();
  // Stops the thread, waiting for the poll in progress to end (at most one poll).
  void Stop();
  bool HasThread() const { return thread_.joinable(); }

  // Fills `pData` with the oldest frame, scaled to the negotiated size. False when nothing was
  // written: no frame yet, a format other than 24-bit, an image size that does not match, an output
  // too small for the picture. The lock is held across the whole copy, scaling included.
  // With FrameChoice::kNewest the newest frame is taken and the list is left as it is.
  bool CopyLatestFrame(unsigned char* pData, const BitmapInfoHeader* header, const OutputLayout& layout = {},
                       FrameChoice choice = FrameChoice::kOldest);

  // One round of the receive loop without the sleep: the thread repeats it every 10 ms.
  void Poll();

  void PushFrame(tagFrame frame);
  // The oldest frame, or EmptyFrame when there is none. The oldest leaves the list (bNeedDelete
  // true) only when another frame stays behind; the last frame is handed out and kept.
  tagFrame GetFrame(bool& bNeedDelete);
  std::size_t FrameCount();
  void ClearFrames();

  // Sections written without a sequence counter are always read the plain way; this switches the
  // counter off for sections that have one too (for measuring the difference).
  void UseSequenceCounter(bool use);
  // Debug counters of the reads so far.
  std::uint64_t PixelCopies();
  std::uint64_t SkippedPolls();

 private:
  void ReceiveLoop();

  std::mutex readLock_;  // the poll's read state; taken before lock_, never inside it
  SectionReadState readState_;

  // The last output made, by source picture and output geometry: an unchanged picture shared by
  // the polls is scaled once, not for every buffer. Guarded by lock_.
  struct OutputCache {
    std::shared_ptr<const unsigned char[]> source;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t stride = 0;
    RowOrder order = RowOrder::kBottomUp;
    FrameFit fit = FrameFit::kStretch;
    std::vector<unsigned char> pixels;
  };
  OutputCache outputCache_;
  std::recursive_mutex lock_;
  std::deque<tagFrame> frames_;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

// Copies the frame section once: a frame in a new buffer, or one without a buffer (EmptyFrame) when
// the section is missing, cannot be mapped or holds an invalid byte count. Logs the failures (and
// the section's coming back) as the receiver's log describes.
// With a `state` and a section that carries the writer's sequence counter, a copy that overlapped a
// write is retried (and the poll skipped when the writer keeps writing), and a frame the writer has
// not replaced since the last read is handed out again without copying it.
tagFrame ReadSection(SectionReadState* state = nullptr);

// The process-wide receiver, counted by the cameras that use it: the first AcquireReceiver creates
// it and starts its thread, the last ReleaseReceiver stops and destroys it. Both are thread-safe.
FrameReceiver* AcquireReceiver();
void ReleaseReceiver();
FrameReceiver* GetReceiver();

}  // namespace kalimo
