// kalimo-skin-art OUTPUT_FOLDER: draws every picture of the user interface into the program
// folder: Bitmap/<number>.png (frame, icon, tree) and Image/ (button pictures, screen intro).
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

#include "windows/skin/art/SkinArt.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kalimo-skin-art OUTPUT_FOLDER\n");
    return 2;
  }
  using namespace kalimo::skin::art;
  std::vector<ArtFile> files = {
      {"Bitmap/153.png", DrawSkinPicture()},
      {"Bitmap/128.png", DrawProgramIcon()},
      {"Image/capturescreenintro.jpg", DrawScreenCaptureIntro()},
  };
  for (auto& more : {DrawTreeBitmaps(), DrawButtonPictures()}) files.insert(files.end(), more.begin(), more.end());
  const QDir output(QString::fromLocal8Bit(argv[1]));
  for (const ArtFile& file : files) {
    const QString path = output.filePath(file.path);
    QDir().mkpath(QFileInfo(path).path());
    if (!file.image.save(path, nullptr, 95)) {
      std::fprintf(stderr, "kalimo-skin-art: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
