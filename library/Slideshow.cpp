#include "library/Slideshow.h"

#include <limits>

namespace kalimo {

namespace {
bool IsWhiteSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
}  // namespace

std::int32_t ReadSecondsPerImage(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsWhiteSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > kLimit) value = kLimit;  // saturated; later digits cannot bring it back
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value == kLimit ? kLimit - 1 : value);
}

bool Slideshow::Tick(std::int32_t secondsPerImage) {
  if (paused_) return false;
  ++tickCount_;
  if (tickCount_ < secondsPerImage) return false;
  // Past the last position the list starts again at the first image anyway.
  imageIndex_ = imageIndex_ == std::numeric_limits<std::int32_t>::max() ? 0 : imageIndex_ + 1;
  tickCount_ = 0;
  return true;
}

}  // namespace kalimo
