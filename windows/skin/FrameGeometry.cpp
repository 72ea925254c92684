#include "windows/skin/FrameGeometry.h"

namespace kalimo::skin {
namespace {

FrameRect ButtonAtLeft(int left) {
  return {left, 3, left + FrameMetrics::kButtonSize, 3 + FrameMetrics::kButtonSize};
}

}  // namespace

FrameButtons PlaceFrameButtons(int width, unsigned boxes) {
  FrameButtons buttons;
  buttons.icon = {9, 4, 25, 20};
  buttons.close = ButtonAtLeft(width - 20);
  int nextLeft = buttons.close.left - FrameMetrics::kButtonSpacing;
  if (boxes & kMaximizeBox) {
    buttons.maximize = ButtonAtLeft(nextLeft);
    nextLeft -= FrameMetrics::kButtonSpacing;
  }
  if (boxes & kMinimizeBox) buttons.minimize = ButtonAtLeft(nextLeft);
  return buttons;
}

FrameButton ButtonAt(const FrameButtons& buttons, int x, int y) {
  if (buttons.minimize.Contains(x, y)) return FrameButton::kMinimize;
  if (buttons.maximize.Contains(x, y)) return FrameButton::kMaximize;
  if (buttons.close.Contains(x, y)) return FrameButton::kClose;
  return FrameButton::kNone;
}

FrameRect RectOf(const FrameButtons& buttons, FrameButton button) {
  switch (button) {
    case FrameButton::kMinimize: return buttons.minimize;
    case FrameButton::kMaximize: return buttons.maximize;
    case FrameButton::kClose: return buttons.close;
    case FrameButton::kNone: break;
  }
  return {};
}

FrameHit HitTestFrame(const FrameButtons& buttons, int x, int y, int width, int height, bool resizable) {
  if (x < 0 || y < 0 || x >= width || y >= height) return kHitNowhere;
  switch (ButtonAt(buttons, x, y)) {
    case FrameButton::kMinimize: return kHitMinimizeButton;
    case FrameButton::kMaximize: return kHitMaximizeButton;
    case FrameButton::kClose: return kHitSystemMenu;
    case FrameButton::kNone: break;
  }
  const int border = FrameMetrics::kBorderWidth;
  const bool left = x < border;
  const bool right = x >= width - border;
  const bool top = y < border;
  const bool bottom = y >= height - border;
  if (resizable) {
    if (top) return left ? kHitTopLeft : right ? kHitTopRight : kHitTop;
    if (bottom) return left ? kHitBottomLeft : right ? kHitBottomRight : kHitBottom;
    if (y >= FrameMetrics::kTitleHeight) {
      if (left) return kHitLeft;
      if (right) return kHitRight;
    }
  }
  if (y < FrameMetrics::kTitleHeight) return kHitCaption;
  if (left || right || bottom) return kHitBorder;
  return kHitClient;
}

FrameHit ReportedHitCode(FrameHit hit) {
  switch (hit) {
    case kHitSystemMenu:
    case kHitMinimizeButton:
    case kHitMaximizeButton:
    case kHitCloseButton:
      return kHitCaption;
    default:
      return hit;
  }
}

}  // namespace kalimo::skin
