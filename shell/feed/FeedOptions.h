#pragma once
// The command line of kalimo-feed.
#include <optional>
#include <string>
#include <vector>

namespace kalimo::feed {

enum class SourceKind { None, Video, Camera, Image, Screen, ListCameras };

struct FeedOptions {
  SourceKind source = SourceKind::Video;
  std::string argument;      // the file, or the camera's name or position
  bool loop = false;         // start a video file again at its end
  std::string recordPath;    // --record FILE.avi, or empty
  std::string snapshotPath;  // --snapshot FILE.jpg, or empty
  std::optional<bool> lowLatency;  // --low-latency on|off: the cameras' default mode, kept for the user
  std::optional<bool> keepAspect;  // --keep-aspect on|off: fit other shapes instead of stretching them
};

// The options, or empty with `error` set to what is wrong.
std::optional<FeedOptions> ParseFeedOptions(const std::vector<std::string>& arguments, std::string& error);

inline constexpr const char* kFeedUsage =
    "usage: kalimo-feed [--low-latency on|off] [--keep-aspect on|off] [--loop] [--record FILE.avi]\n"
    "                   [--snapshot FILE.jpg] SOURCE\n"
    "       kalimo-feed [--low-latency on|off] [--keep-aspect on|off]\n"
    "--low-latency on makes the virtual camera hand out the newest picture at once (about 10-25 ms\n"
    "behind); off keeps the steady default (about 150 ms behind).\n"
    "--keep-aspect on makes it show a picture of another shape (16:9, say) whole and centred, with\n"
    "black bands; off stretches it over the camera's picture (the default).\n"
    "These choices are kept for every application that opens the camera afterwards.\n"
    "SOURCE is one of:\n"
    "  --video FILE      a video file (FILE alone means the same)\n"
    "  --camera CAMERA   a camera, by its name or its position in --list-cameras (from 0)\n"
    "  --image FILE      a picture\n"
    "  --screen          the X11 screen\n"
    "  --list-cameras    list the cameras and stop\n";

}  // namespace kalimo::feed
