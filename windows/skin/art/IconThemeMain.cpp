// kalimo-icon-art OUTPUT_FOLDER: draws the program's icon (resources/kalimo.png, the window and
// tray icon) into an icon theme folder, OUTPUT_FOLDER/hicolor/<N>x<N>/apps/kalimo.png, at the sizes
// desktops ask for, so that the desktop entry's Icon=kalimo finds a sharp picture in menus, docks
// and application grids. Drawn, not scaled: the 64-pixel file cannot give sharp large icons.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

// The icon on its 64-unit grid: a blue rounded tile with a white webcam, a ring on a bar.
QImage DrawDesktopIcon(int size) {
  QImage icon(size, size, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1e, 0x6f, 0xd9));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  QPainterPath ring;
  ring.addEllipse(QPointF(32.5, 30.5), 16.5, 16.5);
  ring.addEllipse(QPointF(32.5, 30.5), 8.5, 8.5);  // the odd-even fill leaves the lens blue
  p.setBrush(Qt::white);
  p.drawPath(ring);
  p.drawRoundedRect(QRectF(20, 48, 25, 7), 3.5, 3.5);
  return icon;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kalimo-icon-art OUTPUT_FOLDER\n");
    return 2;
  }
  const QDir output(QString::fromLocal8Bit(argv[1]));
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = output.filePath(QStringLiteral("hicolor/%1x%1/apps").arg(size));
    const QString path = folder + QStringLiteral("/kalimo.png");
    if (!QDir().mkpath(folder) || !DrawDesktopIcon(size).save(path)) {
      std::fprintf(stderr, "kalimo-icon-art: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
