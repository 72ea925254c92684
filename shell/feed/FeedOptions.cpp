#include "shell/feed/FeedOptions.h"

#include <algorithm>

namespace kalimo::feed {

std::optional<FeedOptions> ParseFeedOptions(const std::vector<std::string>& arguments, std::string& error) {
  FeedOptions options;
  if (std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) { return a == "--help" || a == "-h"; })) {
    options.source = SourceKind::Help;
    return options;
  }
  bool haveSource = false;
  std::string defaultVideo;
  auto setSource = [&](SourceKind kind, std::string argument) {
    if (haveSource) {
      error = "only one source can be fed at a time";
      return false;
    }
    haveSource = true;
    options.source = kind;
    options.argument = std::move(argument);
    return true;
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
        error = word + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    // A camera mode: "on" or "off", kept in `out`.
    auto onOff = [&](std::optional<bool>& out) {
      std::string text;
      if (!value(text)) return false;
      if (text != "on" && text != "off") {
        error = word + " takes on or off";
        return false;
      }
      out = text == "on";
      return true;
    };
    std::string text;
    if (word == "--loop") {
      options.loop = true;
    } else if (word == "--sound") {
      options.sound = true;
    } else if (word == "--low-latency") {
      if (!onOff(options.lowLatency)) return std::nullopt;
    } else if (word == "--keep-aspect") {
      if (!onOff(options.keepAspect)) return std::nullopt;
    } else if (word == "--record") {
      if (!value(options.recordPath)) return std::nullopt;
    } else if (word == "--snapshot") {
      if (!value(options.snapshotPath)) return std::nullopt;
    } else if (word == "--default-video") {
      if (!value(defaultVideo)) return std::nullopt;
    } else if (word == "--video" || word == "--camera" || word == "--image") {
      if (!value(text)) return std::nullopt;
      const SourceKind kind = word == "--video" ? SourceKind::Video
                              : word == "--camera" ? SourceKind::Camera
                                                   : SourceKind::Image;
      if (!setSource(kind, text)) return std::nullopt;
    } else if (word == "--screen") {
      if (!setSource(SourceKind::Screen, "")) return std::nullopt;
    } else if (word == "--list-cameras") {
      if (!setSource(SourceKind::ListCameras, "")) return std::nullopt;
    } else if (word.size() > 1 && word[0] == '-') {
      error = "unknown option " + word;
      return std::nullopt;
    } else {
      if (!setSource(SourceKind::Video, word)) return std::nullopt;
    }
  }
  if (!haveSource) {
    if (!defaultVideo.empty()) {  // the stand-in video plays until stopped
      options.source = SourceKind::Video;
      options.argument = defaultVideo;
      options.loop = true;
    } else if (options.ChangesCameraModes()) {  // only the camera's modes are set
      options.source = SourceKind::None;
      return options;
    } else {
      error = "no source given";
      return std::nullopt;
    }
  }
  if (options.loop && options.source != SourceKind::Video) {
    error = "--loop applies to video files only";
    return std::nullopt;
  }
  return options;
}

}  // namespace kalimo::feed
