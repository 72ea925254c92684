// The skin picture of the window frame (67 × 92) and the program icon.
#include <QPainter>
#include <QPainterPath>

#include "windows/skin/art/SkinArt.h"

namespace kalimo::skin::art {
namespace {

enum class Glyph { kMinimize, kMaximize, kRestore, kClose };

// One 16 × 16 caption button cell at (x, y): a flat cell in the title colour (normal), or a
// rounded tile (highlighted; red for close), with a white glyph.
void DrawButtonCell(QPainter& p, int x, int y, Glyph glyph, bool highlighted) {
  p.fillRect(x, y, 16, 16, kTitleBlue);
  p.setRenderHint(QPainter::Antialiasing);
  if (highlighted) {
    p.setPen(Qt::NoPen);
    p.setBrush(glyph == Glyph::kClose ? kCloseRed : kHoverBlue);
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, 15, 15), 3, 3);
  }
  QPen pen(Qt::white, 1.6);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::MiterJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  const QPointF o(x, y);
  switch (glyph) {
    case Glyph::kMinimize:
      p.drawLine(o + QPointF(4.5, 11.5), o + QPointF(11.5, 11.5));
      break;
    case Glyph::kMaximize:
      p.drawRect(QRectF(o + QPointF(4.5, 4.5), QSizeF(7, 7)));
      break;
    case Glyph::kRestore:
      p.drawRect(QRectF(o + QPointF(4, 6.5), QSizeF(6, 6)));
      p.drawPolyline(QPolygonF({o + QPointF(6.5, 4.5), o + QPointF(12, 4.5), o + QPointF(12, 10)}));
      break;
    case Glyph::kClose:
      p.drawLine(o + QPointF(5, 5), o + QPointF(11, 11));
      p.drawLine(o + QPointF(11, 5), o + QPointF(5, 11));
      break;
  }
  p.setRenderHint(QPainter::Antialiasing, false);
}

}  // namespace

QImage DrawSkinPicture() {
  QImage skin(67, 92, QImage::Format_RGB888);
  skin.fill(kTitleBlue);
  QPainter p(&skin);
  // Title bar fill (15, 0, 2, 22): a light first row over the flat title colour.
  p.fillRect(15, 0, 2, 1, kTitleHighlight);
  // Corners (0, 0, 5, 24) and (63, 0, 4 of 5, 24): the two frame lines, rounded by one pixel.
  const auto corner = [&p](int lineX, int innerX, int step) {
    p.fillRect(lineX, 0, 1, 24, kOuterFrameLine);
    p.fillRect(innerX, 1, 1, 23, kInnerFrameLine);
    for (int i = 0; i < 4; ++i) p.fillRect(lineX + step * i, 0, 1, 1, kOuterFrameLine);
    for (int i = 1; i < 4; ++i) p.fillRect(lineX + step * i, 1, 1, 1, i == 1 ? kOuterFrameLine : kTitleHighlight);
  };
  p.fillRect(0, 0, 5, 24, kTitleBlue);
  p.fillRect(63, 0, 4, 24, kTitleBlue);
  corner(0, 1, 1);
  corner(66, 65, -1);
  // Bottom border fill (10, 0, 4, 4) and side border fills (0, 36, 4, 2), (5, 36, 4, 2).
  p.fillRect(10, 0, 4, 4, kTitleBlue);
  p.fillRect(0, 36, 4, 2, kTitleBlue);
  p.fillRect(5, 36, 4, 2, kTitleBlue);
  // Button rows: 44 normal, 60 highlighted, 76 (unused) pressed-looking.
  const Glyph glyphs[] = {Glyph::kMinimize, Glyph::kMaximize, Glyph::kRestore, Glyph::kClose};
  for (int column = 0; column < 4; ++column) {
    const int x = column * 17;
    DrawButtonCell(p, x, 44, glyphs[column], false);
    DrawButtonCell(p, x, 60, glyphs[column], true);
    DrawButtonCell(p, x, 76, glyphs[column], true);
  }
  p.fillRect(0, 76, 67, 16, QColor(0, 0, 0, 40));
  return skin;
}

QImage DrawProgramIcon() {
  QImage icon(64, 64, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient tile(0, 4, 0, 60);
  tile.setColorAt(0, kHoverBlue);
  tile.setColorAt(1, kDeepBlue);
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(4, 4, 56, 56), 13, 13);
  // A webcam: a round head with its lens on a small stand.
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(32, 28), 17, 17);
  p.drawRoundedRect(QRectF(20, 49, 24, 5), 2.5, 2.5);
  p.drawRect(QRectF(29, 43, 6, 8));
  p.setBrush(kDeepBlue);
  p.drawEllipse(QPointF(32, 28), 9, 9);
  p.setBrush(kLightBlue);
  p.drawEllipse(QPointF(29, 25), 3, 3);
  p.setBrush(kRecordRed);
  p.drawEllipse(QPointF(44, 15), 3, 3);
  return icon;
}

}  // namespace kalimo::skin::art
