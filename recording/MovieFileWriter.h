#pragma once
// Writes a stream of raw 24-bit frames into an uncompressed AVI file, one frame per sample.
//
// The file is opened on the first frame (only then are width and height known). Every failure
// leaves a readable message in the writer and closes it; from then on every frame is refused at
// once. What was written before a failure stays playable: the file's headers and indexes are
// brought up to date while recording (see AviStreamFile), not only at Close.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kalimo {

class AviStreamFile;

// Result codes of AppendFrame, as the platform's result codes: 0 success, E_FAIL failure.
inline constexpr std::int32_t kAppendSucceeded = 0;
inline constexpr std::int32_t kAppendFailed = static_cast<std::int32_t>(0x80004005u);

// What the recorder's start check reads from the settings (a copy taken for each check).
struct MovieSizeSettings {
  std::int32_t movieResolution = 1;  // 0: 320 x 240, anything else: 640 x 480
  std::int32_t frameWidth = 640;
  std::int32_t frameHeight = 480;
};

class MovieFileWriter {
 public:
  enum AppendMode : int { kClosed = 0, kFirstFrame = 1, kOpen = 2 };

  static constexpr std::size_t kMaxTextLength = 259;
  static constexpr const char* kSucceededMessage = "Method Succeeded";
  static constexpr const char* kWriteFailedMessage = "Unable to Write Video Stream to the output Movie File";
  static constexpr const char* kAllocateFailedMessage = "Unable to Allocate Memory on Heap";
  static constexpr const char* kCreateStreamFailedMessage = "Unable to Create Video Stream in the Movie File";
  static constexpr int kStartCheckFrames = 3;

  // Opens nothing. `screenWidth` x `screenHeight` (0 when unknown) only sizes the frame buffer
  // and the stream's suggested buffer size: max(frame, screen) at 4 bytes per pixel.
  MovieFileWriter(std::string fileName, std::int32_t frameRate, int screenWidth = 0, int screenHeight = 0);
  ~MovieFileWriter();  // Close
  MovieFileWriter(const MovieFileWriter&) = delete;
  MovieFileWriter& operator=(const MovieFileWriter&) = delete;

  // Appends one frame of `width` x `height` pixels. `pixels` holds `byteCount` bytes of bottom-up
  // rows, each padded to a multiple of 4 bytes (stride x height bytes are stored). Only 24 bits
  // per pixel are accepted. A frame whose size differs from the first frame's cannot be stored in
  // the stream and fails like a failed write. Returns kAppendSucceeded or kAppendFailed.
  std::int32_t AppendFrame(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                           std::int64_t byteCount);

  // The recorder's append: while fewer than three frames were checked, a frame is dropped (with
  // success) unless the configured movie size (320 x 240 for movieResolution 0, else 640 x 480)
  // equals frameWidth x frameHeight; `settings` is asked for a fresh copy on each check.
  std::int32_t AppendFrameWithStartCheck(const std::function<MovieSizeSettings()>& settings, int width,
                                         int height, const unsigned char* pixels, std::int64_t byteCount);

  // Finishes the file (headers, indexes) and releases everything; safe in any state, repeatedly.
  void Close();

  const std::string& FileName() const { return fileName_; }
  const std::string& ErrorMessage() const { return errorMessage_; }
  // The system's error code (errno) behind the last failure; 0 when there was none.
  int SystemError() const { return systemError_; }
  AppendMode Mode() const { return mode_; }
  std::int32_t FrameRate() const { return frameRate_; }
  std::uint32_t FramesWritten() const { return nextSampleIndex_; }
  std::int64_t BufferSize() const { return bufferSize_; }

 private:
  std::int32_t AppendFirst(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                           std::int64_t byteCount);
  std::int32_t AppendOpen(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                          std::int64_t byteCount);
  std::int32_t AppendClosed(int, int, const unsigned char*, int, std::int64_t) { return kAppendFailed; }
  bool Open(int width, int height);
  std::int32_t Fail(const std::string& message);
  void SetMessage(const std::string& message);

  std::string fileName_;
  std::int32_t frameRate_;
  int systemError_ = 0;
  int screenWidth_;
  int screenHeight_;
  std::string errorMessage_ = kSucceededMessage;
  AppendMode mode_ = kFirstFrame;
  std::uint32_t nextSampleIndex_ = 0;
  std::int32_t startCheckCounter_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::int64_t bufferSize_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;
  std::unique_ptr<AviStreamFile> file_;
};

}  // namespace kalimo
