#pragma once
// Where the pictures of the user interface are found: the numbered bitmaps of the window frame and
// the tree in "Bitmap/<number>.png", the button pictures in "Image/", both in the program folder.
#include <QPixmap>
#include <QString>

namespace kalimo::skin {

// Numbers of the bitmaps the skinned controls load.
enum SkinBitmap : int {
  kProgramIcon = 128,
  kBlankVideoPicture = 134,
  kPlayingVideoPicture = 136,
  kSkinPicture = 153,
  kCollapsedGlyph = 161,
  kExpandedGlyph = 162,
};

// The file of a picture named relative to the program folder's "Image" folder ("Stop.png"), or a
// path relative to the program folder itself ("image/capturescreenintro.jpg"). Names are matched
// exactly first and then ignoring case, one path component at a time, so "closeSound.png" and
// "CloseSound.png" find the same file on a case-sensitive file system. Empty when there is none.
QString FindProgramPicture(const QString& pictureName);
QString FindProgramFile(const QString& relativePath);

// The numbered bitmap, or a null pixmap when its file is missing or unreadable.
QPixmap LoadSkinBitmap(int number);

}  // namespace kalimo::skin
