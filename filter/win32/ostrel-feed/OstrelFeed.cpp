// ostrel-feed.exe: drives the Kalimo camera from the command line, writing a BMP picture or a
// moving test pattern into the frame section at a steady rate.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "filter/win32/ostrel-feed/BmpFile.h"
#include "platform/ReceiverPlatform.h"
#include "platform/win32/WideText.h"

namespace {

using kalimo::feed::DibPicture;

constexpr const char* kUsage =
    "usage: ostrel-feed.exe [--bmp FILE | --pattern [--size WxH]] [--fps N] [--seconds S | --frames N]\n"
    "  --bmp FILE    send this picture (an uncompressed 24-bit BMP) again and again\n"
    "  --pattern     send moving colour bars (the default), 640x480 unless --size says otherwise\n"
    "  --fps N       frames per second, 1 to 240 (default 30)\n"
    "  --seconds S   stop after S seconds; --frames N: stop after N frames (default: until Ctrl+C)\n"
    "The camera shows the last frame sent after the program ends.\n";

struct Options {
  std::string bmpPath;
  int width = 640;
  int height = 480;
  int fps = 30;
  double seconds = -1;
  long long frames = -1;
};

std::atomic<bool> stopRequested{false};

BOOL WINAPI OnConsoleControl(DWORD) {
  stopRequested = true;
  return TRUE;
}

bool ParseNumber(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = kalimo::platform::WideToUtf8(argv[i]);
    const bool hasValue = i + 1 < argc;
    const std::string value = hasValue ? kalimo::platform::WideToUtf8(argv[i + 1]) : std::string();
    double number = 0;
    if (arg == "--pattern") {
      options.bmpPath.clear();
    } else if (arg == "--bmp" && hasValue) {
      options.bmpPath = value;
      ++i;
    } else if (arg == "--size" && hasValue &&
               std::sscanf(value.c_str(), "%dx%d", &options.width, &options.height) == 2) {
      ++i;
    } else if (arg == "--fps" && hasValue && ParseNumber(value, number) && number >= 1 && number <= 240) {
      options.fps = static_cast<int>(number);
      ++i;
    } else if (arg == "--seconds" && hasValue && ParseNumber(value, number) && number >= 0) {
      options.seconds = number;
      ++i;
    } else if (arg == "--frames" && hasValue && ParseNumber(value, number) && number >= 0) {
      options.frames = static_cast<long long>(number);
      ++i;
    } else {
      return false;
    }
  }
  return options.width > 0 && options.height > 0 && options.width <= kalimo::kMaxHeaderDimension &&
         options.height <= kalimo::kMaxHeaderDimension &&
         kalimo::DibStride(options.width) * options.height <= kalimo::kMaxFrameBytes;
}

// Eight colour bars that move one bar width every second.
void DrawPattern(DibPicture& picture, long long frame, int fps) {
  static const unsigned char kBars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                            {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
  const std::int64_t stride = kalimo::DibStride(picture.width);
  const int barWidth = picture.width >= 8 ? picture.width / 8 : 1;
  const long long shift = frame * barWidth / fps;
  for (int y = 0; y < picture.height; ++y) {
    unsigned char* row = picture.bits.data() + y * stride;
    for (int x = 0; x < picture.width; ++x) {
      const unsigned char* colour = kBars[((x + shift) / barWidth) % 8];
      std::memcpy(row + 3 * x, colour, 3);
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  DibPicture picture;
  const bool pattern = options.bmpPath.empty();
  if (pattern) {
    picture.width = options.width;
    picture.height = options.height;
    picture.bits.assign(static_cast<std::size_t>(kalimo::DibStride(picture.width) * picture.height), 0);
  } else {
    std::string error;
    if (!kalimo::feed::ReadBmpFile(options.bmpPath, picture, error)) {
      std::fprintf(stderr, "ostrel-feed: %s\n", error.c_str());
      return 1;
    }
  }
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  std::fprintf(stderr, "ostrel-feed: sending %dx%d at %d frames a second to %s\n", picture.width, picture.height,
               options.fps, kalimo::platform::FrameSectionName().c_str());

  kalimo::FrameSectionHandle section;
  LARGE_INTEGER frequency, started, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&started);
  const long long lastFrame =
      options.frames >= 0 ? options.frames
                          : (options.seconds >= 0 ? static_cast<long long>(options.seconds * options.fps) : -1);
  int status = 0;
  for (long long frame = 0; !stopRequested && (lastFrame < 0 || frame < lastFrame); ++frame) {
    // Frame k is due k/fps seconds after the start, so the rate does not drift.
    const LONGLONG due = started.QuadPart + frame * frequency.QuadPart / options.fps;
    for (QueryPerformanceCounter(&now); now.QuadPart < due && !stopRequested; QueryPerformanceCounter(&now)) {
      Sleep(static_cast<DWORD>((due - now.QuadPart) * 1000 / frequency.QuadPart));
    }
    if (pattern) DrawPattern(picture, frame, options.fps);
    if (!kalimo::WriteFrameToSection(picture.bits.data(), section, static_cast<std::int32_t>(picture.bits.size()),
                                     picture.width, picture.height)) {
      status = 1;
      break;
    }
  }
  kalimo::CloseFrameSection(section);
  return status;
}
