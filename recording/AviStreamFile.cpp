#include "recording/AviStreamFile.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/FrameSectionLayout.h"
#include "platform/FileWriting.h"

namespace kalimo {

namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAvifIsInterleaved = 0x100;
constexpr std::uint32_t kAviifKeyframe = 0x10;
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
constexpr std::uint32_t kAvihSize = 56;
constexpr std::uint32_t kStrhSize = 56;
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
constexpr std::uint32_t kDmlhSize = 248;
constexpr std::uint32_t kIndexHeaderSize = 24;  // of 'indx' and 'ix00', after the chunk header
constexpr std::uint32_t kSuperIndexEntrySize = 16;
constexpr std::uint32_t kPartIndexEntrySize = 8;
constexpr std::uint32_t kIdx1EntrySize = 16;
constexpr const char kStreamName[] = "Video Stream";  // written with its terminating zero
constexpr const char kFrameChunkId[] = "00db";

// Cuts away what follows the last complete piece (a partly written frame or index). When even
// that fails, the headers still describe only the complete pieces, which is what readers follow.
void TruncateTo(int fd, std::int64_t size) {
  if (::ftruncate(fd, size) != 0) return;
}

std::uint32_t Clamp32(std::int64_t value) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, 0xFFFFFFFFll));
}

// Little-endian serialisation of RIFF chunks, remembering where the fields to patch are.
class ChunkBuilder {
 public:
  explicit ChunkBuilder(std::int64_t fileOffset) : base_(fileOffset) {}
  std::int64_t Here() const { return base_ + static_cast<std::int64_t>(bytes_.size()); }
  void FourCc(const char* code) { bytes_.insert(bytes_.end(), code, code + 4); }
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U16(std::uint16_t value) {
    U8(static_cast<std::uint8_t>(value));
    U8(static_cast<std::uint8_t>(value >> 8));
  }
  void U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value));
    U16(static_cast<std::uint16_t>(value >> 16));
  }
  void U64(std::uint64_t value) {
    U32(static_cast<std::uint32_t>(value));
    U32(static_cast<std::uint32_t>(value >> 32));
  }
  void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  // Starts a chunk (or a LIST / RIFF with `listType`) whose size is set by End.
  std::size_t Begin(const char* id, const char* listType = nullptr) {
    FourCc(id);
    const std::size_t sizeAt = bytes_.size();
    U32(0);
    if (listType) FourCc(listType);
    return sizeAt;
  }
  void End(std::size_t sizeAt) {
    if (bytes_.size() % 2) U8(0);  // chunks start on even offsets
    SetU32(sizeAt, static_cast<std::uint32_t>(bytes_.size() - sizeAt - 4));
  }
  void SetU32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::int64_t base_;
  std::vector<std::uint8_t> bytes_;
};

// 'ix00' with room for `capacity` entries, none in use; base offset `partStart`.
void AddPartIndex(ChunkBuilder& out, std::uint32_t capacity, std::int64_t partStart) {
  const std::size_t chunk = out.Begin("ix00");
  out.U16(2);  // longs per entry
  out.U8(0);   // sub type
  out.U8(kIndexOfChunks);
  out.U32(0);  // entries in use
  out.FourCc(kFrameChunkId);
  out.U64(static_cast<std::uint64_t>(partStart));
  out.U32(0);
  out.Zeros(std::size_t{capacity} * kPartIndexEntrySize);
  out.End(chunk);
}

constexpr std::int64_t PartIndexChunkSize(std::uint32_t capacity) {
  return 8 + kIndexHeaderSize + std::int64_t{capacity} * kPartIndexEntrySize;
}

}  // namespace

std::int64_t AviStreamFile::SampleSizeFor(int width, int height) {
  return DibStride(width) * height;
}

bool AviStreamFile::IsValidFormat(const AviVideoFormat& format) {
  return format.width > 0 && format.height > 0 && format.width <= kMaxDimension &&
         format.height <= kMaxDimension && format.frameRate > 0 &&
         SampleSizeFor(format.width, format.height) <= kMaxSampleSize;
}

std::unique_ptr<AviStreamFile> AviStreamFile::Create(const std::string& path, const AviVideoFormat& format,
                                                     int& error, bool& headersFailed) {
  headersFailed = false;
  if (!IsValidFormat(format)) {
    error = EINVAL;
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  std::unique_ptr<AviStreamFile> file(new AviStreamFile(fd, format));
  if (!file->WriteHeaders()) {
    error = file->lastError_;
    headersFailed = true;
    file->finished_ = true;  // nothing to finish in a file without its headers
    platform::CloseAndDiscard(fd, path);
    return nullptr;
  }
  error = 0;
  return file;
}

AviStreamFile::AviStreamFile(int fd, const AviVideoFormat& format)
    : fd_(fd), format_(format), sampleSize_(SampleSizeFor(format.width, format.height)) {
  const std::int64_t framesInOnePart = kRiffLimit / (8 + sampleSize_) + 1;
  partCapacity_ = static_cast<std::uint32_t>(std::min<std::int64_t>(framesInOnePart, kMaxPartFrames));
}

AviStreamFile::~AviStreamFile() { Finish(); }

bool AviStreamFile::WriteHeaders() {
  const std::uint32_t rate = static_cast<std::uint32_t>(format_.frameRate);
  const auto width = static_cast<std::uint32_t>(format_.width);
  const auto height = static_cast<std::uint32_t>(format_.height);
  ChunkBuilder out(0);
  const std::size_t riff = out.Begin("RIFF", "AVI ");
  const std::size_t hdrl = out.Begin("LIST", "hdrl");

  const std::size_t avih = out.Begin("avih");
  out.U32(1000000 / rate);                // microseconds per frame
  out.U32(Clamp32(sampleSize_ * rate));   // max bytes per second
  out.U32(0);                             // padding granularity
  avihFlagsAt_ = out.Here();
  out.U32(kAvifIsInterleaved);            // HASINDEX once idx1 is written
  avihTotalFramesAt_ = out.Here();
  out.U32(0);                             // frames in the first RIFF
  out.U32(0);                             // initial frames
  out.U32(1);                             // streams
  out.U32(format_.suggestedBufferSize);
  out.U32(width);
  out.U32(height);
  out.Zeros(16);
  out.End(avih);

  const std::size_t strl = out.Begin("LIST", "strl");
  const std::size_t strh = out.Begin("strh");
  out.FourCc("vids");
  out.FourCc("DIB ");
  out.U32(0);   // flags
  out.U16(0);   // priority
  out.U16(0);   // language
  out.U32(0);   // initial frames
  out.U32(1);   // scale
  out.U32(rate);
  out.U32(0);   // start
  strhLengthAt_ = out.Here();
  out.U32(0);   // length: every frame of the stream
  out.U32(format_.suggestedBufferSize);
  out.U32(0xFFFFFFFFu);  // quality: the default
  out.U32(0);            // sample size: varies (one frame per sample)
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<std::uint16_t>(width));
  out.U16(static_cast<std::uint16_t>(height));
  out.End(strh);

  const std::size_t strf = out.Begin("strf");
  out.U32(kBitmapInfoHeaderSize);
  out.U32(width);
  out.U32(height);  // positive: bottom-up rows
  out.U16(1);       // planes
  out.U16(24);      // bits per pixel
  out.U32(0);       // BI_RGB
  out.U32(static_cast<std::uint32_t>(sampleSize_));  // stride x height
  out.Zeros(16);
  out.End(strf);

  superIndexAt_ = out.Here();
  const std::size_t indx = out.Begin("indx");
  out.U16(4);  // longs per entry
  out.U8(0);
  out.U8(kIndexOfIndexes);
  out.U32(0);  // entries in use
  out.FourCc(kFrameChunkId);
  out.Zeros(12);
  out.Zeros(std::size_t{kSuperIndexCapacity} * kSuperIndexEntrySize);
  out.End(indx);

  const std::size_t strn = out.Begin("strn");
  for (const char c : kStreamName) out.U8(static_cast<std::uint8_t>(c));
  out.End(strn);
  out.End(strl);

  const std::size_t odml = out.Begin("LIST", "odml");
  const std::size_t dmlh = out.Begin("dmlh");
  dmlhTotalFramesAt_ = out.Here();
  out.U32(0);
  out.Zeros(kDmlhSize - 4);
  out.End(dmlh);
  out.End(odml);
  out.End(hdrl);

  moviListAt_ = out.Here();
  const std::size_t movi = out.Begin("LIST", "movi");
  partIndexAt_ = out.Here();
  AddPartIndex(out, partCapacity_, 0);
  out.End(movi);
  out.End(riff);

  if (!WriteAt(0, out.Bytes().data(), out.Bytes().size())) return false;
  partNumber_ = 0;
  partStart_ = 0;
  end_ = out.Here();
  return true;
}

bool AviStreamFile::FrameFitsInPart() const {
  if (partFrameOffsets_.size() >= partCapacity_) return false;
  std::int64_t size = end_ + 8 + sampleSize_ - partStart_;
  if (partNumber_ == 0) {
    size += 8 + std::int64_t{kIdx1EntrySize} * static_cast<std::int64_t>(partFrameOffsets_.size() + 1);
  }
  return size <= kRiffLimit;
}

bool AviStreamFile::WriteFrame(const unsigned char* sample) {
  if (failed_ || finished_) return false;
  if (!sample) return Fail(EINVAL);
  if (!FrameFitsInPart() && (!FinishPart() || !StartPart())) return false;

  unsigned char header[8];
  std::memcpy(header, kFrameChunkId, 4);
  const auto size = static_cast<std::uint32_t>(sampleSize_);
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<unsigned char>(size >> (8 * i));
  iovec parts[2] = {{header, sizeof header}, {const_cast<unsigned char*>(sample), static_cast<std::size_t>(size)}};
  std::int64_t offset = end_;
  std::size_t remaining = sizeof header + size;
  int part = 0;
  while (remaining > 0) {
    const ssize_t written = ::pwritev(fd_, parts + part, 2 - part, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return Fail(written < 0 ? errno : ENOSPC);
    offset += written;
    remaining -= static_cast<std::size_t>(written);
    auto done = static_cast<std::size_t>(written);
    while (part < 2 && done >= parts[part].iov_len) done -= parts[part++].iov_len;
    if (part < 2) {
      parts[part].iov_base = static_cast<unsigned char*>(parts[part].iov_base) + done;
      parts[part].iov_len -= done;
    }
  }
  partFrameOffsets_.push_back(static_cast<std::uint32_t>(end_ + 8 - partStart_));
  end_ = offset;
  ++totalFrames_;
  if (partNumber_ == 0) ++firstPartFrames_;

  const auto now = std::chrono::steady_clock::now();
  if (now - lastUpdate_ >= kUpdateInterval) {
    if (!Update()) return Fail(lastError_);
    lastUpdate_ = now;
  }
  return true;
}

// Every step rewrites bytes that already exist on disk, in an order that leaves a readable file
// after each one: first the new index entries, then their count, then the totals and sizes.
bool AviStreamFile::Update() {
  if (finished_) return false;
  const auto inPart = static_cast<std::uint32_t>(partFrameOffsets_.size());
  if (inPart > partFramesIndexed_) {
    ChunkBuilder entries(0);
    for (std::uint32_t i = partFramesIndexed_; i < inPart; ++i) {
      entries.U32(partFrameOffsets_[i]);
      entries.U32(static_cast<std::uint32_t>(sampleSize_));  // bit 31 clear: every frame is a key frame
    }
    const std::int64_t entriesAt =
        partIndexAt_ + 8 + kIndexHeaderSize + std::int64_t{partFramesIndexed_} * kPartIndexEntrySize;
    if (!WriteAt(entriesAt, entries.Bytes().data(), entries.Bytes().size())) return false;
    if (!WriteAt32(partIndexAt_ + 12, inPart)) return false;
    partFramesIndexed_ = inPart;

    // The part's entry in the super index: offset, size of its ix00, frames it lists.
    const std::int64_t entryAt =
        superIndexAt_ + 8 + kIndexHeaderSize + std::int64_t{partNumber_} * kSuperIndexEntrySize;
    ChunkBuilder entry(0);
    entry.U64(static_cast<std::uint64_t>(partIndexAt_));
    entry.U32(static_cast<std::uint32_t>(PartIndexChunkSize(partCapacity_)));
    entry.U32(inPart);
    if (!WriteAt(entryAt, entry.Bytes().data(), entry.Bytes().size())) return false;
    const auto listed = static_cast<std::uint32_t>(partNumber_ + 1);
    if (listed > superIndexEntries_) {
      if (!WriteAt32(superIndexAt_ + 12, listed)) return false;
      superIndexEntries_ = listed;
    }
  }
  const auto total = Clamp32(static_cast<std::int64_t>(totalFrames_));
  if (!WriteAt32(avihTotalFramesAt_, firstPartFrames_) || !WriteAt32(strhLengthAt_, total) ||
      !WriteAt32(dmlhTotalFramesAt_, total)) {
    return false;
  }
  // The current part ends after its last frame (the first part's idx1 is added when it closes).
  if (!(partNumber_ == 0 && hasIdx1_)) {
    if (!WriteAt32(moviListAt_ + 4, static_cast<std::uint32_t>(end_ - moviListAt_ - 8)) ||
        !WriteAt32(partStart_ + 4, static_cast<std::uint32_t>(end_ - partStart_ - 8))) {
      return false;
    }
  }
  return true;
}

bool AviStreamFile::AppendIdx1() {
  ChunkBuilder idx1(end_);
  const std::size_t chunk = idx1.Begin("idx1");
  const std::int64_t moviFourCcAt = moviListAt_ + 8;
  for (const std::uint32_t dataAt : partFrameOffsets_) {
    idx1.FourCc(kFrameChunkId);
    idx1.U32(kAviifKeyframe);
    idx1.U32(static_cast<std::uint32_t>(dataAt - 8 - moviFourCcAt));
    idx1.U32(static_cast<std::uint32_t>(sampleSize_));
  }
  idx1.End(chunk);
  if (!WriteAt(end_, idx1.Bytes().data(), idx1.Bytes().size())) {
    TruncateTo(fd_, end_);
    return false;
  }
  const std::int64_t fileEnd = idx1.Here();
  if (!WriteAt32(avihFlagsAt_, kAvifIsInterleaved | kAvifHasIndex) ||
      !WriteAt32(partStart_ + 4, static_cast<std::uint32_t>(fileEnd - partStart_ - 8))) {
    return false;
  }
  hasIdx1_ = true;
  end_ = fileEnd;
  return true;
}

bool AviStreamFile::FinishPart() {
  if (!Update()) return Fail(lastError_);
  if (partNumber_ == 0 && !hasIdx1_ && !AppendIdx1()) return Fail(lastError_ ? lastError_ : ENOSPC);
  return true;
}

bool AviStreamFile::StartPart() {
  if (static_cast<std::uint32_t>(partNumber_ + 1) >= kSuperIndexCapacity) return Fail(EFBIG);
  const std::int64_t start = end_;
  ChunkBuilder out(start);
  const std::size_t riff = out.Begin("RIFF", "AVIX");
  const std::int64_t movi = out.Here();
  const std::size_t moviSize = out.Begin("LIST", "movi");
  const std::int64_t index = out.Here();
  AddPartIndex(out, partCapacity_, start);
  out.End(moviSize);
  out.End(riff);
  if (!WriteAt(start, out.Bytes().data(), out.Bytes().size())) {
    TruncateTo(fd_, start);
    return Fail(lastError_);
  }
  ++partNumber_;
  partStart_ = start;
  moviListAt_ = movi;
  partIndexAt_ = index;
  partFrameOffsets_.clear();
  partFramesIndexed_ = 0;
  end_ = out.Here();
  return true;
}

void AviStreamFile::Finish() {
  if (finished_) return;
  // Drop a frame that was only partly written, then index everything before it.
  if (failed_) TruncateTo(fd_, end_);
  if (Update() && partNumber_ == 0 && !hasIdx1_) AppendIdx1();
  finished_ = true;
  ::close(fd_);
  fd_ = -1;
}

bool AviStreamFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(fd_, bytes, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      lastError_ = written < 0 ? errno : ENOSPC;
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += written;
  }
  return true;
}

bool AviStreamFile::WriteAt32(std::int64_t offset, std::uint32_t value) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return WriteAt(offset, bytes, sizeof bytes);
}

bool AviStreamFile::Fail(int error) {
  failed_ = true;
  lastError_ = error;
  return false;
}

}  // namespace kalimo
