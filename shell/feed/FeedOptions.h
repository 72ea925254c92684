#pragma once
// The command line of kalimo-feed.
#include <optional>
#include <string>
#include <vector>

namespace kalimo::feed {

enum class SourceKind { Video, Camera, Image, Screen, ListCameras };

struct FeedOptions {
  SourceKind source = SourceKind::Video;
  std::string argument;      // the file, or the camera's name or position
  bool loop = false;         // start a video file again at its end
  std::string recordPath;    // --record FILE.avi, or empty
  std::string snapshotPath;  // --snapshot FILE.jpg, or empty
};

// The options, or empty with `error` set to what is wrong.
std::optional<FeedOptions> ParseFeedOptions(const std::vector<std::string>& arguments, std::string& error);

inline constexpr const char* kFeedUsage =
    "usage: kalimo-feed [--loop] [--record FILE.avi] [--snapshot FILE.jpg] SOURCE\n"
    "SOURCE is one of:\n"
    "  --video FILE      a video file (FILE alone means the same)\n"
    "  --camera CAMERA   a camera, by its name or its position in --list-cameras (from 0)\n"
    "  --image FILE      a picture\n"
    "  --screen          the X11 screen\n"
    "  --list-cameras    list the cameras and stop\n";

}  // namespace kalimo::feed
