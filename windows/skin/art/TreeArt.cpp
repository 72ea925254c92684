// The tree's bitmaps: 134 (a blank video picture), 136 (the play sign of the playing video) on
// white, which the tree draws transparent; 161 and 162 (collapsed and expanded group glyphs) on
// magenta, drawn without smoothing so that no pixel mixes with the transparent colour.
#include <QPainter>

#include "windows/skin/art/SkinArt.h"

namespace kalimo::skin::art {
namespace {

QImage GroupGlyph(bool expanded) {
  QImage glyph(16, 16, QImage::Format_RGB888);
  glyph.fill(Qt::magenta);
  QPainter p(&glyph);
  p.setPen(Qt::NoPen);
  p.setBrush(kGlyphGrey);
  const QPolygon triangle = expanded ? QPolygon({QPoint(4, 6), QPoint(12, 6), QPoint(8, 11)})
                                     : QPolygon({QPoint(6, 4), QPoint(11, 8), QPoint(6, 12)});
  p.drawPolygon(triangle);
  return glyph;
}

}  // namespace

std::vector<ArtFile> DrawTreeBitmaps() {
  QImage blank(32, 32, QImage::Format_RGB888);
  blank.fill(Qt::white);

  QImage play(32, 32, QImage::Format_RGB888);
  play.fill(Qt::white);
  {
    QPainter p(&play);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kDeepBlue);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setBrush(QColor(254, 254, 254));  // not pure white: the sign must not turn transparent
    p.drawPolygon(QPolygonF({QPointF(13, 9.5), QPointF(22.5, 16), QPointF(13, 22.5)}));
  }
  return {{"Bitmap/134.png", blank},
          {"Bitmap/136.png", play},
          {"Bitmap/161.png", GroupGlyph(false)},
          {"Bitmap/162.png", GroupGlyph(true)}};
}

}  // namespace kalimo::skin::art
