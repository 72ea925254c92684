#include "windows/skin/ButtonColours.h"

#include <algorithm>

namespace kalimo::skin {

Rgb BrightenHoverBackground(Rgb colour) {
  const auto headroom = [](int channel) { return channel < 226 ? 30 : 255 - channel; };
  const int rise = std::min({headroom(colour.red), headroom(colour.green), headroom(colour.blue)});
  return {colour.red + rise, colour.green + rise, colour.blue + rise};
}

}  // namespace kalimo::skin
