#include "media/sources/VideoFileSource.h"

#include <filesystem>

#include "media/base/MediaResult.h"
#include "media/player/CMyVideoPlayer.h"

namespace kalimo::media {

VideoFileSource::VideoFileSource(std::string path, bool loop, bool sound)
    : path_(std::move(path)), loop_(loop), sound_(sound) {}

VideoFileSource::~VideoFileSource() { Stop(); }

bool VideoFileSource::Start(FramePreview preview, std::string& error) {
  Stop();
  player_ = std::make_unique<CMyVideoPlayer>();
  player_->SetFrameStep(std::move(preview));
  player_->SetSoundOutput(sound_);
  if (!Failed(player_->OpenFile(nullptr, path_))) return true;
  if (error = SourceFileProblem(path_); error.empty()) {
    error = player_->MissingPlugin().empty()
                ? "not a media file GStreamer can read"
                : "GStreamer lacks a plugin for it: " + player_->MissingPlugin() +
                      " (on Debian it is in one of gstreamer1.0-plugins-good, -bad, -ugly or gstreamer1.0-libav)";
  }
  Stop();
  return false;
}

void VideoFileSource::Stop() { player_.reset(); }

bool VideoFileSource::Poll(std::string& error) {
  if (!player_) return false;
  PipelineEvent event{};
  if (!player_->TakeNextEvent(event)) return true;
  if (event == PipelineEvent::EndOfStream && loop_) {
    player_->SetPosition(MediaTime::zero());
    player_->Run();
    return true;
  }
  if (event == PipelineEvent::Error) error = "the video stopped with an error";
  return false;
}

FrameSize VideoFileSource::Size() const {
  return player_ ? FrameSize{player_->NativeWidth(), player_->NativeHeight()} : FrameSize{};
}

double VideoFileSource::FrameRate() const { return player_ ? player_->FrameRate() : 0; }

std::string VideoFileSource::Label() const { return "video " + std::filesystem::path(path_).filename().string(); }

}  // namespace kalimo::media
