#include "filter/core/OstrelPin.h"

#include <cstdio>
#include <cstring>

#include "common/FrameSectionLayout.h"
#include "filter/core/LaunchMainProgram.h"
#include "platform/ReceiverPlatform.h"

namespace kalimo {

OstrelPin::Stamp OstrelPin::FillBuffer(FrameReceiver* receiver, const FrameTarget& target, std::size_t bytes,
                                       FrameChoice choice, FrameFit fit) {
  BitmapInfoHeader header;
  header.biWidth = target.width;
  header.biHeight = target.height;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<std::uint32_t>(DibStride(target.width) * target.height);
  const OutputLayout layout{target.order, target.stride, bytes, fit};
  char trace[96];
  std::snprintf(trace, sizeof trace, "width = %d,height = %d ,size data = %zu\n", target.width, target.height, bytes);
  platform::DebugOutput(trace);
  // Until the first picture arrives the client sees black, never what the buffer held before.
  if (receiver && receiver->CopyLatestFrame(target.bits, &header, layout, choice)) {
    pictureReceived_ = true;
  } else {
    std::memset(target.bits, 0, bytes);
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
