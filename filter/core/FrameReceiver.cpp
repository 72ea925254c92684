#include "filter/core/FrameReceiver.h"

#include <cstring>
#include <new>
#include <system_error>

#include "common/FrameSectionLayout.h"
#include "filter/core/FilterLog.h"
#include "filter/core/ScaleFrame.h"
#include "platform/ReceiverPlatform.h"

namespace kalimo {

namespace {
// Whether the last attempt to open the section succeeded. Starts true, so that a section missing
// at the first poll is logged once.
std::atomic<bool> sectionWasOpen{true};

std::mutex receiverLock;  // guards the count and the creation and destruction of the receiver
FrameReceiver* receiver = nullptr;
std::size_t receiverUsers = 0;  // wider than the original 8 bits: a 256th camera must not wrap it to 0

// Reads and checks the header. False when it cannot be read or announces an invalid byte count (logged).
bool ReadFrameHeader(platform::ReadOnlySectionView& view, FrameSectionHeader& header) {
  unsigned char headerBytes[kSectionHeaderSize] = {};
  int error = 0;
  if (!view.Read(0, headerBytes, sizeof headerBytes, error)) return false;
  header = LoadSectionHeader(headerBytes);
  // A header of zeros is an object created a moment ago, before its first frame: nothing to read yet.
  if (header.width == 0 && header.height == 0 && header.byteCount == 0) return false;
  // Written as a subtraction: byteCount + 8 could overflow.
  if (header.byteCount <= 0 || header.byteCount > kSectionCapacity - kSectionHeaderSize) {
    WriteLog(FormatLog("get buffersize  is error.(%d)\r\n", header.byteCount));
    return false;
  }
  return true;
}

// Reads the pixels the header announces (`size` bytes). False when the section ends before them
// (shrunk since the header was read).
bool ReadPixels(platform::ReadOnlySectionView& view, unsigned char* pixels, std::int32_t size) {
  int error = 0;
  return view.Read(static_cast<std::size_t>(kSectionHeaderSize), pixels, static_cast<std::size_t>(size), error);
}

// A new frame buffer of `size` bytes; nullptr when it cannot be allocated (this poll is dropped).
std::shared_ptr<unsigned char[]> NewFrameBuffer(std::int32_t size) {
  return std::shared_ptr<unsigned char[]>(new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]);
}

// Copies the header and the pixels the header announces out of the section.
tagFrame CopyFrame(platform::ReadOnlySectionView& view, SectionReadState* state) {
  FrameSectionHeader header;
  if (!ReadFrameHeader(view, header)) return EmptyFrame();
  auto buffer = NewFrameBuffer(header.byteCount);
  if (!buffer || !ReadPixels(view, buffer.get(), header.byteCount)) return EmptyFrame();
  if (state) ++state->pixelCopies;
  return ReceivedFrame(std::move(buffer), header.width, header.height, header.byteCount);
}

// The write counter behind the frame area; false when the section is too short to hold one.
bool ReadSequence(platform::ReadOnlySectionView& view, std::uint64_t& sequence) {
  int error = 0;
  return view.Read(static_cast<std::size_t>(kSequenceOffset), &sequence, sizeof sequence, error);
}

// The read of a section whose writer keeps the sequence counter: whole frames only, and an
// unchanged frame shared with the previous read. False (nothing read) when the section carries no
// counter, so that it is read the plain way.
// A copy must fit between two writes, however slow this machine is at the moment. So a frame that
// is being written is waited for (the counter is looked at every millisecond, for at most
// kWriteWaitMs) without using up an attempt, and the copy starts the moment the write ends; it goes
// into a buffer kept from poll to poll, which takes no page faults, and only a whole copy is copied
// once more into the frame that is handed out.
bool ReadSequenced(platform::ReadOnlySectionView& view, SectionReadState& state, tagFrame& result) {
  int attempts = 0;
  for (int waited = 0; attempts < FrameReceiver::kReadAttempts;) {
    std::uint64_t before = 0;
    if (!ReadSequence(view, before) || before == 0) return false;  // a writer that keeps no counter
    if (before & 1) {                                              // a frame is being written
      if (++waited > FrameReceiver::kWriteWaitMs) break;
      platform::SleepMilliseconds(1);
      continue;
    }
    if (state.frame.pBuffer && before == state.sequence) {
      result = state.frame;  // the frame the previous read took whole
      return true;
    }
    ++attempts;
    std::atomic_thread_fence(std::memory_order_acquire);
    FrameSectionHeader header;
    bool read = ReadFrameHeader(view, header);
    if (read) {
      state.pixels.resize(static_cast<std::size_t>(header.byteCount));
      read = ReadPixels(view, state.pixels.data(), header.byteCount);
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    std::uint64_t after = 0;
    if (!ReadSequence(view, after) || after != before) {
      ++state.tornCopies;
      continue;
    }
    if (read) ++state.pixelCopies;
    auto buffer = read ? NewFrameBuffer(header.byteCount) : nullptr;
    if (buffer) std::memcpy(buffer.get(), state.pixels.data(), state.pixels.size());
    state.sequence = buffer ? before : 0;
    state.frame = ReceivedFrame(std::move(buffer), header.width, header.height, header.byteCount);
    result = state.frame;
    return true;
  }
  ++state.skippedPolls;
  result = EmptyFrame();
  return true;
}
}  // namespace

tagFrame ReadSection(SectionReadState* state) {
  platform::ReadOnlySectionView view;
  int error = 0;
  if (!view.Open(platform::FrameSectionName(), error)) {
    if (sectionWasOpen.exchange(false)) WriteLog(FormatLog("Could not open file mapping object.(%d)\r\n", error));
    if (state) state->frame = EmptyFrame();
    return EmptyFrame();
  }
  if (!sectionWasOpen.exchange(true)) WriteLog("Success to open file mapping object.\r\n");

  // A section with the counter is longer than the frame area; a shorter one is read the plain way.
  if (state && state->useSequence) {
    // The common case, nothing new written: a look at the counter alone.
    std::uint64_t sequence = 0;
    if (state->frame.pBuffer && ReadSequence(view, sequence) && sequence == state->sequence) return state->frame;
    tagFrame frame;
    if (ReadSequenced(view, *state, frame)) return frame;
  }
  // The plain way needs the whole frame area, as a mapping of it would.
  unsigned char last = 0;
  if (!view.Read(static_cast<std::size_t>(kSectionCapacity) - 1, &last, 1, error)) {
    WriteLog(FormatLog("Could not map view of file.(%d)\r\n", error));
    return EmptyFrame();
  }
  if (state) state->frame = EmptyFrame();
  tagFrame frame = CopyFrame(view, state);
  // A writer that keeps the counter may have created the object and begun its first frame after
  // the counter was looked at (it was still 0): such a copy may be torn, and the next poll reads
  // that writer's frames the checked way.
  std::uint64_t sequence = 0;
  if (state && state->useSequence && frame.pBuffer && ReadSequence(view, sequence) && sequence != 0) {
    ++state->tornCopies;
    return EmptyFrame();
  }
  return frame;
}

FrameReceiver::~FrameReceiver() {
  Stop();
  ClearFrames();
}

bool FrameReceiver::Start() {
  if (thread_.joinable()) return true;
  running_ = true;
  try {
    thread_ = std::thread([this] { ReceiveLoop(); });
  } catch (const std::system_error&) {
    running_ = false;
    WriteLog("Failure to run thread of receive data\r\n");
    return false;
  }
  return true;
}

void FrameReceiver::Stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void FrameReceiver::ReceiveLoop() {
  while (running_) {
    Poll();
    platform::SleepMilliseconds(kPollIntervalMs);
  }
}

void FrameReceiver::Poll() {
  tagFrame frame;
  {
    std::lock_guard reading(readLock_);
    frame = ReadSection(&readState_);
  }
  std::lock_guard guard(lock_);
  if (FrameCount() > kMaxFrames - 1) {
    bool removed = false;
    GetFrame(removed);  // with more than one frame listed, the oldest leaves the list and is freed
  }
  if (frame.pBuffer) PushFrame(std::move(frame));
}

void FrameReceiver::PushFrame(tagFrame frame) {
  if (!frame.pBuffer) return;
  std::lock_guard guard(lock_);
  frames_.push_back(std::move(frame));
}

tagFrame FrameReceiver::GetFrame(bool& bNeedDelete) {
  std::lock_guard guard(lock_);
  if (frames_.empty()) return EmptyFrame();
  tagFrame frame = frames_.front();
  if (frames_.size() >= 2) {
    frames_.pop_front();
    bNeedDelete = true;
  } else {
    bNeedDelete = false;
  }
  return frame;
}

std::size_t FrameReceiver::FrameCount() {
  std::lock_guard guard(lock_);
  return frames_.size();
}

void FrameReceiver::ClearFrames() {
  std::lock_guard guard(lock_);
  frames_.clear();
  outputCache_ = OutputCache{};
}

void FrameReceiver::UseSequenceCounter(bool use) {
  std::lock_guard reading(readLock_);
  readState_.useSequence = use;
  readState_.sequence = 0;
  readState_.frame = EmptyFrame();
}

std::uint64_t FrameReceiver::PixelCopies() {
  std::lock_guard reading(readLock_);
  return readState_.pixelCopies;
}

std::uint64_t FrameReceiver::SkippedPolls() {
  std::lock_guard reading(readLock_);
  return readState_.skippedPolls;
}

bool FrameReceiver::CopyLatestFrame(unsigned char* pData, const BitmapInfoHeader* header, const OutputLayout& layout,
                                    FrameChoice choice) {
  if (!pData || !header) return false;
  if (header->biBitCount != 24) {
    WriteLog("bmiHeader.biBitCount != 24.\r\n");
    return false;
  }
  const std::int64_t width = header->biWidth;
  const std::int64_t height = header->biHeight;
  const std::int64_t nSizeImage = DibStride(width) * height;
  if (width <= 0 || height <= 0 || std::int64_t{header->biSizeImage} != nSizeImage) {
    WriteLog("pHeader->bmiHeader.biSizeImage != nSizeImage.\r\n");
    return false;
  }
  const std::int64_t stride = layout.stride > 0 ? layout.stride : DibStride(width);
  const std::size_t capacity = layout.size > 0 ? layout.size : header->biSizeImage;
  // The output must hold every row it is given; a smaller buffer is refused rather than overrun.
  if (stride < width * 3 || static_cast<std::uint64_t>(stride * (height - 1) + width * 3) > capacity) return false;

  std::lock_guard guard(lock_);
  bool bNeedDelete = false;
  const tagFrame frame =
      choice == FrameChoice::kNewest ? (frames_.empty() ? EmptyFrame() : frames_.back()) : GetFrame(bNeedDelete);
  if (!frame.pBuffer) return false;
  const auto outputBytes = static_cast<std::size_t>(stride * (height - 1) + width * 3);
  OutputCache& cache = outputCache_;
  if (cache.source == frame.pBuffer && cache.width == header->biWidth && cache.height == header->biHeight &&
      cache.stride == stride && cache.order == layout.order && cache.fit == layout.fit &&
      cache.pixels.size() == outputBytes) {
    std::memcpy(pData, cache.pixels.data(), outputBytes);
    return true;
  }
  StretchFrame(frame.view,
               {pData, header->biWidth, header->biHeight, stride, layout.order},
               layout.fit);
  // Keep what was made, for as long as the same picture is handed out again at the same size.
  cache = OutputCache{frame.pBuffer, header->biWidth, header->biHeight, stride, layout.order, layout.fit, {}};
  cache.pixels.assign(pData, pData + outputBytes);
  return true;
}

FrameReceiver* AcquireReceiver() {
  std::lock_guard guard(receiverLock);
  ++receiverUsers;
  if (!receiver) {
    receiver = new (std::nothrow) FrameReceiver();
    if (receiver) receiver->Start();
  }
  return receiver;
}

void ReleaseReceiver() {
  std::lock_guard guard(receiverLock);
  if (receiverUsers == 0 || --receiverUsers != 0) return;
  delete receiver;  // stops the thread and frees every frame
  receiver = nullptr;
}

FrameReceiver* GetReceiver() {
  std::lock_guard guard(receiverLock);
  return receiver;
}

}  // namespace kalimo
