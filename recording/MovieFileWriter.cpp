#include "recording/MovieFileWriter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/Messages.h"
#include "recording/AviStreamFile.h"

namespace kalimo {

namespace {
constexpr int kBitsPerPixel = 24;
}

MovieFileWriter::MovieFileWriter(std::string fileName, std::int32_t frameRate, int screenWidth, int screenHeight)
    : fileName_(std::move(fileName)),
      frameRate_(frameRate),
      screenWidth_(std::max(screenWidth, 0)),
      screenHeight_(std::max(screenHeight, 0)) {}

MovieFileWriter::~MovieFileWriter() { Close(); }

std::int32_t MovieFileWriter::AppendFrame(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                                          std::int64_t byteCount) {
  // One operation per append mode, in the order closed, first frame, open.
  using Append = std::int32_t (MovieFileWriter::*)(int, int, const unsigned char*, int, std::int64_t);
  static constexpr Append kAppendByMode[] = {&MovieFileWriter::AppendClosed, &MovieFileWriter::AppendFirst,
                                             &MovieFileWriter::AppendOpen};
  return (this->*kAppendByMode[mode_])(width, height, pixels, bitsPerPixel, byteCount);
}

std::int32_t MovieFileWriter::AppendFrameWithStartCheck(const std::function<MovieSizeSettings()>& settings,
                                                        int width, int height, const unsigned char* pixels,
                                                        std::int64_t byteCount) {
  if (startCheckCounter_ < kStartCheckFrames) {
    const MovieSizeSettings current = settings ? settings() : MovieSizeSettings{};
    const int configuredWidth = current.movieResolution == 0 ? 320 : 640;
    const int configuredHeight = current.movieResolution == 0 ? 240 : 480;
    if (configuredWidth == current.frameWidth && configuredHeight == current.frameHeight) {
      startCheckCounter_ = kStartCheckFrames;
    } else {
      ++startCheckCounter_;
      return kAppendSucceeded;
    }
  }
  return AppendFrame(width, height, pixels, kBitsPerPixel, byteCount);
}

std::int32_t MovieFileWriter::AppendFirst(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                                          std::int64_t byteCount) {
  if (frameRate_ <= 0) return Fail(kCreateStreamFailedMessage);
  if (!pixels || bitsPerPixel != kBitsPerPixel || !AviStreamFile::IsValidFormat({width, height, frameRate_, 0}) ||
      byteCount < AviStreamFile::SampleSizeFor(width, height)) {
    return Fail(kWriteFailedMessage);  // no file is created for a frame that cannot be stored
  }
  if (!Open(width, height)) {
    Close();
    return kAppendFailed;
  }
  mode_ = kOpen;
  return AppendOpen(width, height, pixels, bitsPerPixel, byteCount);
}

std::int32_t MovieFileWriter::AppendOpen(int width, int height, const unsigned char* pixels, int bitsPerPixel,
                                         std::int64_t byteCount) {
  // Every sample of the stream has the first frame's size; anything else cannot be stored.
  const std::int64_t sampleSize = file_->SampleSize();
  if (!pixels || bitsPerPixel != kBitsPerPixel || width != width_ || height != height_ || byteCount < sampleSize) {
    return Fail(kWriteFailedMessage);
  }
  std::memcpy(buffer_.get(), pixels, static_cast<std::size_t>(sampleSize));
  if (!file_->WriteFrame(buffer_.get())) return Fail(kWriteFailedMessage);
  ++nextSampleIndex_;
  return kAppendSucceeded;
}

bool MovieFileWriter::Open(int width, int height) {
  if (file_) return true;
  bufferSize_ = std::int64_t{std::max(width, screenWidth_)} * std::max(height, screenHeight_) * 4;
  buffer_.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(bufferSize_)]());
  if (!buffer_) {
    SetMessage(kAllocateFailedMessage);
    return false;
  }
  const AviVideoFormat format{width, height, frameRate_,
                              static_cast<std::uint32_t>(std::min<std::int64_t>(bufferSize_, 0xFFFFFFFFll))};
  int error = 0;
  bool headersFailed = false;
  file_ = AviStreamFile::Create(fileName_, format, error, headersFailed);
  if (!file_) {
    systemError_ = error;
    SetMessage(headersFailed ? kCreateStreamFailedMessage : FormatResultText(error));
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void MovieFileWriter::Close() {
  mode_ = kClosed;
  if (file_) file_->Finish();
  file_.reset();
  buffer_.reset();
}

std::int32_t MovieFileWriter::Fail(const std::string& message) {
  SetMessage(message);
  if (file_ && file_->LastError() != 0) systemError_ = file_->LastError();
  Close();
  return kAppendFailed;
}

// Cuts to kMaxTextLength characters, never inside a UTF-8 sequence.
void MovieFileWriter::SetMessage(const std::string& message) {
  std::size_t characters = 0;
  std::size_t end = 0;
  for (; end < message.size(); ++end) {
    const bool startsCharacter = (static_cast<unsigned char>(message[end]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == kMaxTextLength) break;
  }
  errorMessage_ = message.substr(0, end);
}

}  // namespace kalimo
