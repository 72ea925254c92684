#pragma once
// How a tab of the tab strip is painted, in plain values: the frame, the fill and the text area
// of each tab, from its rectangle and its place relative to the selected tab.
#include "windows/skin/FrameGeometry.h"

namespace kalimo::skin {

enum class TabFill { kSelected, kHovered, kNormal };

struct TabPaint {
  FrameRect frame;  // drawn as a one-pixel outline in RGB(153, 153, 153)
  FrameRect fill;   // white (selected), RGB(204, 204, 204) (hovered) or RGB(243, 243, 243)
  FrameRect text;   // the text is centred here: the tab's rectangle before the adjustments
  TabFill fillKind = TabFill::kNormal;
};

// `index` of a strip whose selected tab is `selected` (-1 for none); `hovered` is the tab under
// the pointer (-1 for none).
TabPaint PaintTab(const FrameRect& tab, int index, int selected, int hovered);

// At most this many characters of a tab's text are shown.
constexpr int kTabTextLimit = 15;

}  // namespace kalimo::skin
