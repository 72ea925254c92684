#include "tests/recording/AviTestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/support/TempDir.h"

namespace kalimo::test {

namespace {
int Stride(int width, int align) { return (width * 3 + align - 1) / align * align; }

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

Bytes MakeFrame(int width, int height, int index) {
  const int stride = Stride(width, 4);
  Bytes frame(static_cast<std::size_t>(stride) * height, 0xAB);
  for (int row = 0; row < height; ++row) {
    const int y = height - 1 - row;  // bottom-up: the first row in memory is the picture's last
    for (int x = 0; x < width; ++x) {
      unsigned char* pixel = &frame[static_cast<std::size_t>(row) * stride + x * 3];
      pixel[0] = static_cast<unsigned char>(x * 5 + index * 3);
      pixel[1] = static_cast<unsigned char>(y * 7 + index);
      pixel[2] = static_cast<unsigned char>((x ^ y) + index * 11);
    }
  }
  return frame;
}

Bytes TopDownRows(const Bytes& frame, int width, int height, int rowAlign) {
  const int from = Stride(width, 4);
  const int to = Stride(width, rowAlign);
  Bytes rows(static_cast<std::size_t>(to) * height, 0);
  for (int y = 0; y < height; ++y) {
    const unsigned char* source = &frame[static_cast<std::size_t>(height - 1 - y) * from];
    std::copy(source, source + width * 3, rows.begin() + static_cast<std::ptrdiff_t>(y) * to);
  }
  return rows;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, got);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::map<std::string, std::string> ProbeVideoStream(const std::string& path) {
  const CommandResult probe = RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,codec_tag_string,pix_fmt,width,height,r_frame_rate,nb_frames,nb_read_frames"
      ":format=nb_streams "
      "-of default=noprint_wrappers=1 " + Quote(path));
  std::map<std::string, std::string> fields;
  std::istringstream lines(probe.output);
  std::string line;
  while (std::getline(lines, line)) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

Bytes DecodeWithFfmpeg(const std::string& path) {
  TempDir out;
  const std::string raw = out.Str() + "/frames.bgr";
  RunCommand("ffmpeg -v error -nostdin -i " + Quote(path) + " -f rawvideo -pix_fmt bgr24 " + Quote(raw));
  return ReadFile(raw);
}

Bytes DecodeWithGstreamer(const std::string& path, int width) {
  TempDir out;
  const std::string raw = out.Str() + "/frames.bgr";
  RunCommand("gst-launch-1.0 -q filesrc location=" + Quote(path) +
             " ! avidemux ! videoconvert ! video/x-raw,format=BGR ! filesink location=" + Quote(raw) +
             " > /dev/null 2>&1");
  const Bytes padded = ReadFile(raw);
  const std::size_t stride = static_cast<std::size_t>(Stride(width, 4));
  const std::size_t packed = static_cast<std::size_t>(width) * 3;
  Bytes rows;
  for (std::size_t at = 0; at + stride <= padded.size(); at += stride) {
    rows.insert(rows.end(), padded.begin() + static_cast<std::ptrdiff_t>(at),
                padded.begin() + static_cast<std::ptrdiff_t>(at + packed));
  }
  return rows;
}

}  // namespace kalimo::test
