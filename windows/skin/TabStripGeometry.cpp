#include "windows/skin/TabStripGeometry.h"

namespace kalimo::skin {

TabPaint PaintTab(const FrameRect& tab, int index, int selected, int hovered) {
  TabPaint paint;
  paint.text = tab;
  FrameRect r = tab;
  if (index == selected) {
    // The selected tab opens into the page below it.
    r.bottom -= 1;
    paint.frame = r;
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1 + 2};
    paint.fill = r;
    paint.fillKind = TabFill::kSelected;
    return paint;
  }
  // Neighbouring frames share their line, except beside the selected tab's right edge.
  if (index != selected + 1 || selected < 0) r.left -= 1;
  paint.frame = r;
  paint.fill = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1 + 1};
  paint.fillKind = index == hovered ? TabFill::kHovered : TabFill::kNormal;
  return paint;
}

}  // namespace kalimo::skin
