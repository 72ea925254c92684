#include "filter/OstrelPin.h"

#include <cstdio>
#include <cstring>

#include "common/FrameSectionLayout.h"
#include "filter/LaunchMainProgram.h"
#include "platform/ReceiverPlatform.h"

namespace kalimo {

OstrelPin::Stamp OstrelPin::FillBuffer(FrameReceiver* receiver, unsigned char* data, std::size_t size,
                                       std::int32_t width, std::int32_t height, std::int64_t stride, bool topDown,
                                       FrameChoice choice, FrameFit fit) {
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<std::uint32_t>(DibStride(width) * height);
  const OutputLayout layout{topDown, stride, size, fit};
  char trace[96];
  std::snprintf(trace, sizeof trace, "width = %d,height = %d ,size data = %zu\n", width, height, size);
  platform::DebugOutput(trace);
  // Until the first picture arrives the client sees black, never what the buffer held before.
  if (receiver && receiver->CopyLatestFrame(data, &header, layout, choice)) {
    pictureReceived_ = true;
  } else {
    std::memset(data, 0, size);
  }

  const Stamp stamp{FrameStart(frameNumber_), FrameLength(frameNumber_)};
  if (!launchTried_) {
    launchTried_ = true;
    LaunchMainProgram();
  }
  ++frameNumber_;
  return stamp;
}

}  // namespace kalimo
