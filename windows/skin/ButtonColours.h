#pragma once
// Colour arithmetic of the picture buttons, in plain values.

namespace kalimo::skin {

struct Rgb {
  int red = 0;
  int green = 0;
  int blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Lightens a hover background: each channel may rise by 30, or by what is left below 255 when
// that is less; all three rise by the smallest of those amounts, so the hue stays.
Rgb BrightenHoverBackground(Rgb colour);

}  // namespace kalimo::skin
