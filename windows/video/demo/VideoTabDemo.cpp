// The video tab on its own, as the main window shows it: the group panel in a window of its own
// and the video window beside it, with the clips going to the frame section. For screenshots and
// the tests that use the tab from outside; it prints "ready" once shown and every status line.
#include <QApplication>
#include <QLabel>
#include <QTextStream>
#include <QTimer>

#include "common/ApplyDataToOstrel.h"
#include "windows/video/CMovieResourceDlg.h"
#include "windows/video/CPlayVideoControlDlg.h"
#include "windows/video/CWindowPlayingVideo.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream out(stdout);
  CWindowPlayingVideo video(nullptr);
  QWidget page;
  page.setWindowTitle("视频文件");
  CMovieResourceDlg panel(&video, &page);
  page.resize(panel.size());
  page.move(40, 40);
  page.show();
  video.resize(420, 480);
  video.move(page.frameGeometry().right() + 10, 40);
  video.ShowPlayingWindow(true);

  // Every new status line, for the test driving the tab.
  auto* watch = new QTimer(&app);
  QString shown;
  QObject::connect(watch, &QTimer::timeout, [&] {
    const QString status = video.Bar()->StatusText();
    if (status == shown) return;
    shown = status;
    out << "status " << status << Qt::endl;
  });
  watch->start(20);
  QTimer::singleShot(0, [&] { out << "ready" << Qt::endl; });
  const int result = app.exec();
  kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle());
  return result;
}
