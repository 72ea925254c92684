#pragma once
// The pictures of the user interface, drawn with QPainter when the program is built: one palette,
// so the frame, the controls and the button pictures look like one set.
#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

namespace kalimo::skin::art {

inline const QColor kTitleBlue(86, 150, 214);
inline const QColor kTitleHighlight(150, 196, 236);
inline const QColor kDeepBlue(40, 104, 178);
inline const QColor kLightBlue(200, 226, 248);
inline const QColor kHoverBlue(128, 184, 236);
inline const QColor kCloseRed(214, 70, 62);
inline const QColor kRecordRed(220, 60, 52);
inline const QColor kOuterFrameLine(118, 141, 155);
inline const QColor kInnerFrameLine(151, 199, 229);
inline const QColor kGlyphGrey(80, 88, 100);

// A picture and where it goes, relative to the program folder.
struct ArtFile {
  QString path;
  QImage image;
};

QImage DrawSkinPicture();
QImage DrawProgramIcon();
std::vector<ArtFile> DrawTreeBitmaps();
std::vector<ArtFile> DrawButtonPictures();
QImage DrawScreenCaptureIntro();

}  // namespace kalimo::skin::art
