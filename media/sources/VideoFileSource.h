#pragma once
// A video file as a frame source: played at its own pace and size, once or again and again, its
// sound played or dropped.
#include <memory>
#include <string>

#include "media/sources/FrameSource.h"

namespace kalimo::media {

class CMyVideoPlayer;

class VideoFileSource : public FrameSource {
 public:
  VideoFileSource(std::string path, bool loop, bool sound);
  ~VideoFileSource() override;

  bool Start(FramePreview preview, std::string& error) override;
  void Stop() override;
  bool Poll(std::string& error) override;
  FrameSize Size() const override;
  double FrameRate() const override;
  std::string Label() const override;

 private:
  std::string path_;
  bool loop_;
  bool sound_;
  std::unique_ptr<CMyVideoPlayer> player_;
};

}  // namespace kalimo::media
