#pragma once
// One uncompressed video stream in an AVI file with the OpenDML (AVI 2.0) extensions.
//
//   RIFF 'AVI '  hdrl (avih, strl (strh, strf, indx, strn), odml (dmlh))
//                movi (ix00, 00db, 00db, ...)   idx1
//   RIFF 'AVIX'  movi (ix00, 00db, ...)         (each RIFF at most 1 GiB)
//   ...
//
// The first RIFF is a complete AVI 1.0 file with its idx1, so old readers play the first part;
// OpenDML readers follow the super index 'indx' to every part. Each part's standard index 'ix00'
// is reserved at the start of its movi list and filled in place, so bringing the indexes and the
// headers up to date never needs new disk space: that is done at least every kUpdateInterval
// while frames arrive, so a file whose writer was killed, or whose disk filled up, still plays up
// to the last update (a full disk: up to the last complete frame).
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalimo {

struct AviVideoFormat {
  int width = 0;   // 1 .. kMaxDimension
  int height = 0;  // 1 .. kMaxDimension; rows are stored bottom-up
  std::int32_t frameRate = 12;
  std::uint32_t suggestedBufferSize = 0;
};

class AviStreamFile {
 public:
  static constexpr int kMaxDimension = 32767;  // the stream header's frame rectangle is 16-bit
  static constexpr std::int64_t kMaxSampleSize = std::int64_t{256} << 20;
  static constexpr std::int64_t kRiffLimit = std::int64_t{1} << 30;
  static constexpr std::uint32_t kSuperIndexCapacity = 2048;
  static constexpr std::uint32_t kMaxPartFrames = 65536;
  static constexpr std::chrono::milliseconds kUpdateInterval{500};

  // Stride x height: the size of every sample (24-bit rows padded to 4 bytes).
  static std::int64_t SampleSizeFor(int width, int height);
  static bool IsValidFormat(const AviVideoFormat& format);

  // Creates or replaces `path` and writes the headers. Null on failure, with the system error
  // (errno) in `error` (EINVAL for an invalid format) and `headersFailed` set when the file was
  // created but its headers could not be written (the file is then removed).
  static std::unique_ptr<AviStreamFile> Create(const std::string& path, const AviVideoFormat& format, int& error,
                                               bool& headersFailed);
  ~AviStreamFile();  // Finish
  AviStreamFile(const AviStreamFile&) = delete;
  AviStreamFile& operator=(const AviStreamFile&) = delete;

  // Appends one sample of SampleSize() bytes. False when it could not be written whole (the file
  // then ends, at Finish, with the frames before it) or the file has no room for more parts; every
  // later call fails too. The system error of the failure is in LastError().
  bool WriteFrame(const unsigned char* sample);
  // Brings the indexes and headers up to date with every frame written so far.
  bool Update();
  // Updates everything a last time, adds idx1 to the first part, and closes. Idempotent.
  void Finish();

  std::int64_t SampleSize() const { return sampleSize_; }
  std::uint64_t FramesWritten() const { return totalFrames_; }
  int LastError() const { return lastError_; }

 private:
  AviStreamFile(int fd, const AviVideoFormat& format);
  bool WriteHeaders();
  bool StartPart();
  bool FinishPart();
  bool AppendIdx1();
  bool FrameFitsInPart() const;
  bool WriteAt(std::int64_t offset, const void* data, std::size_t size);
  bool WriteAt32(std::int64_t offset, std::uint32_t value);
  bool Fail(int error);

  int fd_;
  AviVideoFormat format_;
  std::int64_t sampleSize_;
  std::uint32_t partCapacity_;  // index entries reserved in each part's ix00

  // Offsets of the fields the updates rewrite, in the first part's headers.
  std::int64_t avihFlagsAt_ = 0;
  std::int64_t avihTotalFramesAt_ = 0;
  std::int64_t strhLengthAt_ = 0;
  std::int64_t superIndexAt_ = 0;  // the 'indx' chunk
  std::int64_t dmlhTotalFramesAt_ = 0;

  // The current part.
  int partNumber_ = 0;
  std::int64_t partStart_ = 0;      // its 'RIFF'
  std::int64_t moviListAt_ = 0;     // its 'LIST' 'movi'
  std::int64_t partIndexAt_ = 0;    // its 'ix00'
  std::vector<std::uint32_t> partFrameOffsets_;  // each frame's data, relative to partStart_
  std::uint32_t partFramesIndexed_ = 0;          // entries already in its ix00 on disk
  std::uint32_t superIndexEntries_ = 0;          // parts listed in 'indx' on disk

  std::int64_t end_ = 0;  // just after the last complete frame (or header)
  std::uint64_t totalFrames_ = 0;
  std::uint32_t firstPartFrames_ = 0;
  bool hasIdx1_ = false;
  bool failed_ = false;
  bool finished_ = false;
  int lastError_ = 0;
  std::chrono::steady_clock::time_point lastUpdate_{};
};

}  // namespace kalimo
