#pragma once
// The geometry of the skinned window frame: where its buttons lie and what a point of the window
// is (caption, button, border, client). Plain values, so the frame's rules are tested without a window.

namespace kalimo::skin {

// A rectangle from (left, top) up to but not including (right, bottom), in window coordinates.
struct FrameRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const FrameRect&, const FrameRect&) = default;
};

// Which of the optional caption buttons a window has (the close button is always there).
enum FrameBoxes : unsigned {
  kNoBoxes = 0,
  kMinimizeBox = 1,
  kMaximizeBox = 2,
};

// Sizes of the frame, in pixels.
struct FrameMetrics {
  static constexpr int kTitleHeight = 32;
  static constexpr int kBorderWidth = 4;
  static constexpr int kButtonSize = 16;
  static constexpr int kButtonSpacing = 18;  // from one button's left edge to the next one's
  static constexpr int kCaptionX = 27;
  static constexpr int kCaptionY = 5;
};

struct FrameButtons {
  FrameRect icon;
  FrameRect minimize;  // empty without a minimise box
  FrameRect maximize;  // empty without a maximise box
  FrameRect close;
};

// The icon and button rectangles of a window `width` pixels wide.
FrameButtons PlaceFrameButtons(int width, unsigned boxes);

// Hit-test codes, numbered as the window system numbers them.
enum FrameHit : int {
  kHitNowhere = 0,
  kHitClient = 1,
  kHitCaption = 2,
  kHitSystemMenu = 3,
  kHitMinimizeButton = 8,
  kHitMaximizeButton = 9,
  kHitLeft = 10,
  kHitRight = 11,
  kHitTop = 12,
  kHitTopLeft = 13,
  kHitTopRight = 14,
  kHitBottom = 15,
  kHitBottomLeft = 16,
  kHitBottomRight = 17,
  kHitBorder = 18,
  kHitCloseButton = 20,
};

// What the point (x, y) of a `width` × `height` window is. The buttons answer minimise (8),
// maximise (9) and, for the close button, the system-menu code (3); the rest of the title bar is
// the caption (2); a resizable window's borders are its sizing edges, a fixed one's plain border (18).
FrameHit HitTestFrame(const FrameButtons& buttons, int x, int y, int width, int height, bool resizable);

// The code the window finally reports: the button codes (3, 8, 9, 20) become the caption (2), so
// that the window system draws and runs no buttons of its own over the skin.
FrameHit ReportedHitCode(FrameHit hit);

// Which caption button, if any, lies under the point.
enum class FrameButton { kNone, kMinimize, kMaximize, kClose };
FrameButton ButtonAt(const FrameButtons& buttons, int x, int y);
// The rectangle of a caption button (empty for kNone).
FrameRect RectOf(const FrameButtons& buttons, FrameButton button);

}  // namespace kalimo::skin
