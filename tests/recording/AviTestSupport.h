#pragma once
// Synthetic frames and independent readers (ffprobe, ffmpeg, gst-launch-1.0) for AVI tests.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kalimo::test {

using Bytes = std::vector<unsigned char>;

// A 24-bit bottom-up frame with rows padded to 4 bytes (padding bytes are 0xAB). Every pixel
// depends on its position and on `index`, so swapped, sheared or flipped frames differ.
Bytes MakeFrame(int width, int height, int index);
// The picture of MakeFrame as top-down rows of `rowAlign`-aligned stride (1: packed BGR).
Bytes TopDownRows(const Bytes& frame, int width, int height, int rowAlign);

struct CommandResult {
  int status = -1;
  std::string output;  // standard output
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& text);

// ffprobe's view of the first video stream, counting frames by reading them
// (codec_name, pix_fmt, width, height, r_frame_rate, nb_read_frames, ...), and the file's
// nb_streams.
std::map<std::string, std::string> ProbeVideoStream(const std::string& path);
// Every frame decoded by ffmpeg as packed top-down BGR.
Bytes DecodeWithFfmpeg(const std::string& path);
// Every frame read by GStreamer's avidemux as packed top-down BGR (its 4-byte row padding,
// which carries whatever the writer's input had there, is dropped).
Bytes DecodeWithGstreamer(const std::string& path, int width);

}  // namespace kalimo::test
