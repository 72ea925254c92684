#pragma once
// What the screen tests share: the tab as the main dialog sets it up, a counter of the frames the
// component hands out with the count at its finished notice, ffprobe's view of a recording and a
// client of the virtual camera (gst-launch-1.0 ostrelsrc) that saves the picture it gets.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <atomic>

#include "components/ScreenCaptureApi.h"
#include "windows/screen/CCaptureScreenResourceDlg.h"
#include "windows/screen/CWindowPlayingCaptureScreen.h"
#include "windows/screen/ScreenCaptureModule.h"

namespace screen_test {

// The screen tab as the main dialog sets it up: a main window owning the panel and the screen window.
struct ScreenTab {
  QWidget mainWindow;
  CWindowPlayingCaptureScreen* screenWindow = new CWindowPlayingCaptureScreen(&mainWindow);
  CCaptureScreenResourceDlg* panel = new CCaptureScreenResourceDlg(screenWindow, &mainWindow);
  QSignalSpy finished{panel, &CCaptureScreenResourceDlg::CaptureFinished};
  ScreenTab() { mainWindow.show(); }
};

// A program folder of the test's own whose settings put the storage folder inside it, so that
// recordings land in the test's folder; the component is the one the build made.
struct ProgramFolder {
  QTemporaryDir dir;
  QString storageRoot = dir.filePath("store");

  bool Use() {
    if (!dir.isValid() || !QDir().mkpath(storageRoot)) return false;
    QFile config(dir.filePath("config.ini"));
    if (!config.open(QIODevice::WriteOnly)) return false;
    config.write(("[usingsetting]\nresourcespath=" + storageRoot + "\n").toUtf8());
    config.close();
    qputenv("KALIMO_PROGRAM_DIR", dir.path().toUtf8());
    kalimo::ScreenCaptureModule::SetFileName(KALIMO_TEST_OUTPUT_DIR "/libScreenCapture.so");
    return true;
  }

  QStringList Movies() const {
    return QDir(storageRoot + "/Kalimo/录像").entryList({"*.webm"}, QDir::Files, QDir::Name);
  }
};

// The visible top-level window of this process with that accessible name, once it is exposed;
// null when none came.
inline QWidget* ShownTopLevel(const QString& accessibleName) {
  QWidget* found = nullptr;
  QElapsedTimer waited;
  waited.start();
  while (!found && waited.elapsed() < 30000) {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (widget->accessibleName() == accessibleName && widget->isVisible()) found = widget;
    if (!found) QTest::qWait(50);
  }
  if (found && !QTest::qWaitForWindowExposed(found)) return nullptr;
  return found;
}

// Frames counted by the callback, and the count when the finished notice arrived.
inline std::atomic<int> framesCounted{0};
inline int CountFrame(const void* frame) {
  if (frame) ++framesCounted;
  return 1;
}
class FinishCounter : public QObject {
 public:
  int countAtFinish = -1;
  bool event(QEvent* event) override {
    if (event->type() != static_cast<QEvent::Type>(kScreenCaptureFinishedEvent)) return QObject::event(event);
    countAtFinish = framesCounted.load();
    return true;
  }
};

struct ProbedFile {
  int width = 0;
  int height = 0;
  double first = -1;  // time stamps of the first and the last decoded frame
  double last = 0;
  double Span() const { return last - first; }
};

inline ProbedFile Probe(const QString& path) {
  QProcess probe;
  probe.start(QStringLiteral("ffprobe"),
              {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height:frame=pts_time",
               "-of", "compact=p=0:nk=0", path});
  probe.waitForFinished(120000);
  ProbedFile file;
  for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
    for (const QString& field : line.split('|')) {
      const QString key = field.section('=', 0, 0);
      const QString value = field.section('=', 1);
      if (key == QLatin1String("width")) file.width = value.toInt();
      if (key == QLatin1String("height")) file.height = value.toInt();
      if (key != QLatin1String("pts_time")) continue;
      const double time = value.toDouble();
      if (file.first < 0 || time < file.first) file.first = time;
      file.last = std::max(file.last, time);
    }
  }
  return file;
}

inline bool AllBlack(const QImage& picture) {
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      if (picture.pixel(x, y) != qRgb(0, 0, 0)) return false;
  return true;
}

// The picture a client of the virtual camera gets now (640 × 480), through a copy of the built
// plugin in `folder` so that the client starts no Kalimo beside it; null when the client failed.
// The frame section is the one KALIMO_SECTION names, as for the writer of this process. A new
// client sends black until its receiver has read the section, so the client runs again (ten
// pictures, the last one kept) while all it got was black.
inline QImage CameraClientPicture(const QString& folder) {
  const QString plugins = folder + QStringLiteral("/ostrel-plugin");
  QDir().mkpath(plugins);
  const QString plugin = plugins + QStringLiteral("/libgstostrel.so");
  QFile::remove(plugin);
  if (!QFile::copy(QStringLiteral(KALIMO_TEST_OUTPUT_DIR "/libgstostrel.so"), plugin)) return {};
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("GST_PLUGIN_PATH"), plugins);
  environment.insert(QStringLiteral("GST_REGISTRY"), folder + QStringLiteral("/registry.bin"));
  const QString last = folder + QStringLiteral("/camera09.png");
  QImage picture;
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 60000 && (picture.isNull() || AllBlack(picture))) {
    QFile::remove(last);
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QStringLiteral("gst-launch-1.0"),
                 {"-q", "ostrelsrc", "num-buffers=10", "!", "videoconvert", "!", "pngenc", "snapshot=false", "!",
                  "multifilesink", "location=" + folder + QStringLiteral("/camera%02d.png")});
    if (!client.waitForFinished(60000) || client.exitCode() != 0) return {};
    picture = QImage(last);
  }
  return picture;
}

}  // namespace screen_test
