#pragma once
// The command line of kalimo-feed.
#include <optional>
#include <string>
#include <vector>

namespace kalimo::feed {

enum class SourceKind { None, Video, Camera, Image, Screen, ListCameras, Help };

struct FeedOptions {
  SourceKind source = SourceKind::Video;
  std::string argument;      // the file, or the camera's name or position
  bool loop = false;         // start a video file again at its end
  bool sound = false;        // play a video's sound (otherwise it is dropped)
  std::string recordPath;    // --record FILE.avi, or empty
  std::string snapshotPath;  // --snapshot FILE.jpg, or empty
  // The virtual camera's modes, kept for the user (each on|off; empty when not given).
  std::optional<bool> lowLatency;
  std::optional<bool> keepAspect;

  bool ChangesCameraModes() const { return lowLatency.has_value() || keepAspect.has_value(); }
};

// The options, or empty with `error` set to what is wrong. `--help` anywhere wins over the rest.
std::optional<FeedOptions> ParseFeedOptions(const std::vector<std::string>& arguments, std::string& error);

inline constexpr const char* kFeedUsage =
    "usage: kalimo-feed [OPTIONS] SOURCE\n"
    "       kalimo-feed [--low-latency on|off] [--keep-aspect on|off]\n"
    "Feeds the virtual camera until Ctrl-C (or until a video file ends).\n"
    "SOURCE is one of:\n"
    "  --video FILE          a video file (FILE alone means the same)\n"
    "  --camera CAMERA       a camera, by its name or its position in --list-cameras (from 0)\n"
    "  --image FILE          a picture\n"
    "  --screen              the X11 screen of $DISPLAY\n"
    "  --list-cameras        list the cameras and stop\n"
    "OPTIONS:\n"
    "  --loop                start a video file again at its end\n"
    "  --sound               play a video's sound (by default it is dropped)\n"
    "  --record FILE.avi     record what is fed as an uncompressed AVI movie\n"
    "  --snapshot FILE.jpg   save the first picture fed as a JPEG photo\n"
    "  --default-video FILE  the video fed, again and again, when no SOURCE is given\n"
    "  --low-latency on|off  on: the virtual camera hands out the newest picture at once (about\n"
    "                        10-25 ms behind); off: the steady default (about 150 ms behind).\n"
    "  --keep-aspect on|off  on: a picture of another shape (16:9, say) is shown whole and centred,\n"
    "                        with black bands; off: it is stretched over the camera's picture.\n"
    "                        Both are kept for every application that opens the camera afterwards.\n"
    "  -h, --help            show this text\n"
    "Exit status: 0 after a clean stop, 1 when the source or an output file failed, 2 for a wrong\n"
    "command line.\n";

}  // namespace kalimo::feed
