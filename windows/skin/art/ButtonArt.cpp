// The pictures of the picture buttons (Image/*.png, 32 × 32, transparent) and the screen-capture
// intro picture. Line drawings in one blue on a light round tile; red marks recording.
#include <QPainter>
#include <QPainterPath>

#include "windows/skin/art/SkinArt.h"

namespace kalimo::skin::art {
namespace {

using Drawing = void (*)(QPainter&);

QPen Stroke(const QColor& colour = kDeepBlue, qreal width = 2.4) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QImage Picture(Drawing draw) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(kDeepBlue.red(), kDeepBlue.green(), kDeepBlue.blue(), 70), 1));
  p.setBrush(kLightBlue);
  p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 7, 7);
  p.setPen(Stroke());
  p.setBrush(Qt::NoBrush);
  draw(p);
  return image;
}

void Speaker(QPainter& p) {
  p.setBrush(kDeepBlue);
  p.setPen(Stroke(kDeepBlue, 1.2));
  p.drawPolygon(QPolygonF({QPointF(6, 13), QPointF(10, 13), QPointF(15, 8.5), QPointF(15, 23.5), QPointF(10, 19),
                           QPointF(6, 19)}));
  p.setBrush(Qt::NoBrush);
  p.setPen(Stroke());
}

void Plus(QPainter& p, QPointF c, qreal r) {
  p.drawLine(c - QPointF(r, 0), c + QPointF(r, 0));
  p.drawLine(c - QPointF(0, r), c + QPointF(0, r));
}

// A round badge with a plus at the lower right: "add".
void PlusBadge(QPainter& p) {
  p.setBrush(kLightBlue);
  p.setPen(Stroke(kDeepBlue, 1.5));
  p.drawEllipse(QPointF(22, 21), 6, 6);
  p.setPen(Stroke(kDeepBlue, 2));
  Plus(p, QPointF(22, 21), 3);
}

void Arrow(QPainter& p, bool up) {
  const qreal tip = up ? 8 : 24;
  const qreal base = up ? 24 : 8;
  const qreal wing = up ? 15 : 17;
  p.drawLine(QPointF(16, base), QPointF(16, tip));
  p.drawPolyline(QPolygonF({QPointF(9.5, wing), QPointF(16, tip), QPointF(22.5, wing)}));
}

void Pause(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawRoundedRect(QRectF(10, 8.5, 4.5, 15), 1.2, 1.2);
  p.drawRoundedRect(QRectF(17.5, 8.5, 4.5, 15), 1.2, 1.2);
}

void Play(QPainter& p) {
  p.setBrush(kDeepBlue);
  p.setPen(Stroke(kDeepBlue, 1.5));
  p.drawPolygon(QPolygonF({QPointF(11.5, 8.5), QPointF(23, 16), QPointF(11.5, 23.5)}));
}

void Stop(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawRoundedRect(QRectF(9.5, 9.5, 13, 13), 2, 2);
}

void CloseSound(QPainter& p) {
  Speaker(p);
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawLine(QPointF(19, 12.5), QPointF(26, 19.5));
  p.drawLine(QPointF(26, 12.5), QPointF(19, 19.5));
}

void OpenSound(QPainter& p) {
  Speaker(p);
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawArc(QRectF(12, 11, 8, 10), -60 * 16, 120 * 16);
  p.drawArc(QRectF(11, 7, 14, 18), -60 * 16, 120 * 16);
}

void MinusSound(QPainter& p) {
  Speaker(p);
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawLine(QPointF(18.5, 16), QPointF(26, 16));
}

void AddSound(QPainter& p) {
  Speaker(p);
  p.setPen(Stroke(kDeepBlue, 2));
  Plus(p, QPointF(22.5, 16), 3.8);
}

void Setting(QPainter& p) {
  // A gear: eight teeth around a ring.
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.translate(16, 16);
  for (int i = 0; i < 8; ++i) {
    p.drawRoundedRect(QRectF(-2.2, -11.5, 4.4, 6), 1, 1);
    p.rotate(45);
  }
  p.drawEllipse(QPointF(0, 0), 8, 8);
  p.setBrush(kLightBlue);
  p.drawEllipse(QPointF(0, 0), 3.4, 3.4);
  p.resetTransform();
}

void Help(QPainter& p) {
  p.drawEllipse(QPointF(16, 16), 10, 10);
  QPainterPath hook;
  hook.moveTo(12.5, 13.2);
  hook.cubicTo(12.5, 8.5, 20, 8.5, 19.8, 13.2);
  hook.cubicTo(19.7, 16, 16, 16, 16, 19);
  p.setPen(Stroke(kDeepBlue, 2.2));
  p.drawPath(hook);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawEllipse(QPointF(16, 22.3), 1.5, 1.5);
}

void ShowOrHideWindow(QPainter& p) {
  // The playing window beside the main window: a window with a picture, and an arrow to it.
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawRoundedRect(QRectF(6, 8, 20, 16), 2, 2);
  p.drawLine(QPointF(6, 12), QPointF(26, 12));
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawPolygon(QPolygonF({QPointF(13.5, 15), QPointF(19.5, 18), QPointF(13.5, 21)}));
}

void Recorder(QPainter& p) {
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawEllipse(QPointF(16, 16), 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(kRecordRed);
  p.drawEllipse(QPointF(16, 16), 6, 6);
}

void AddMovie(QPainter& p) {
  // A film frame with its perforations, and a plus.
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawRoundedRect(QRectF(5, 7, 17, 18), 2, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(7.5, 9.5 + 4 * i, 2, 2));
  PlusBadge(p);
}

void AddGroup(QPainter& p) {
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawPolygon(QPolygonF({QPointF(5, 9), QPointF(12, 9), QPointF(14, 11.5), QPointF(24, 11.5), QPointF(24, 24),
                           QPointF(5, 24)}));
  PlusBadge(p);
}

void Delete(QPainter& p) {
  // A waste bin.
  p.setPen(Stroke(kDeepBlue, 2));
  p.drawLine(QPointF(8, 10), QPointF(24, 10));
  p.drawLine(QPointF(13.5, 7), QPointF(18.5, 7));
  p.drawPolygon(QPolygonF({QPointF(10, 10), QPointF(22, 10), QPointF(21, 25), QPointF(11, 25)}));
  p.drawLine(QPointF(14, 14), QPointF(14, 21));
  p.drawLine(QPointF(18, 14), QPointF(18, 21));
}

void Clear(QPainter& p) {
  // A list whose lines are all struck out.
  p.setPen(Stroke(kDeepBlue, 2));
  for (int i = 0; i < 4; ++i) p.drawLine(QPointF(8, 9 + 4.7 * i), QPointF(24, 9 + 4.7 * i));
  p.setPen(Stroke(kRecordRed, 2.2));
  p.drawLine(QPointF(7, 25), QPointF(25, 7));
}

void Up(QPainter& p) { Arrow(p, true); }
void Down(QPainter& p) { Arrow(p, false); }

}  // namespace

std::vector<ArtFile> DrawButtonPictures() {
  // The mute picture has two spellings in the program's sources; one file serves both, since
  // pictures are looked up ignoring case.
  const std::pair<const char*, Drawing> pictures[] = {
      {"pause.png", Pause},          {"play.png", Play},          {"Stop.png", Stop},
      {"CloseSound.png", CloseSound}, {"openSound.png", OpenSound}, {"MinusSound.png", MinusSound},
      {"AddSound.png", AddSound},    {"Setting.png", Setting},    {"Help.png", Help},
      {"ShowOrHideSMW.png", ShowOrHideWindow}, {"recorder.png", Recorder}, {"addMovie.png", AddMovie},
      {"addgroup.png", AddGroup},    {"Delete.png", Delete},      {"Clear.png", Clear},
      {"up.png", Up},                {"down.png", Down},
  };
  std::vector<ArtFile> files;
  for (const auto& [name, draw] : pictures) files.push_back({QStringLiteral("Image/") + name, Picture(draw)});
  return files;
}

QImage DrawScreenCaptureIntro() {
  // A monitor whose screen holds a dashed capture frame and a camera: "the screen becomes the camera".
  QImage intro(640, 480, QImage::Format_RGB888);
  intro.fill(QColor(247, 255, 255));
  QPainter p(&intro);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(kLightBlue);
  p.drawRoundedRect(QRectF(140, 90, 360, 240), 16, 16);
  p.setPen(QPen(kDeepBlue, 10));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(140, 90, 360, 240), 16, 16);
  p.setPen(Qt::NoPen);
  p.setBrush(kDeepBlue);
  p.drawRect(QRectF(300, 335, 40, 45));
  p.drawRoundedRect(QRectF(240, 376, 160, 14), 7, 7);
  QPen dashed(kRecordRed, 5, Qt::DashLine);
  dashed.setCapStyle(Qt::RoundCap);
  p.setPen(dashed);
  p.drawRoundedRect(QRectF(185, 125, 270, 170), 8, 8);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(320, 205), 50, 50);
  p.setBrush(kDeepBlue);
  p.drawEllipse(QPointF(320, 205), 27, 27);
  p.setBrush(kHoverBlue);
  p.drawEllipse(QPointF(311, 196), 8, 8);
  p.setBrush(kRecordRed);
  p.drawEllipse(QPointF(358, 168), 7, 7);
  return intro;
}

}  // namespace kalimo::skin::art
