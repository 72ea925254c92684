// The screen tab on a real X display (run by tests/support/with-xvfb.sh at 1920 × 1080 with openbox): the panel
// starts the built screen-capture component, the floating screen window, the frames that reach the
// frame section and what a client of the virtual camera sees, Escape driven by xdotool, the area
// overlay, and screen recordings read by ffprobe.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "components/ScreenCaptureApi.h"
#include "library/settings/SettingParams.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSection.h"
#include "tests/windows/screen/ScreenTestSupport.h"
#include "windows/screen/CCaptureScreenResourceDlg.h"
#include "windows/screen/CDlgOfRecordOption.h"
#include "windows/screen/CWindowPlayingCaptureScreen.h"
#include "windows/screen/ScreenCaptureModule.h"
#include "windows/screen/ScreenRecording.h"

using namespace screen_test;

namespace {

const QColor kBackdropColour(200, 40, 90);
const QRect kScreenWindowRect(100, 120, 500, 420);

// A window filling the screen with one colour: what the capture must see.
class Backdrop : public QWidget {
 public:
  Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::BypassWindowManagerHint) {
    setGeometry(0, 0, 1920, 1080);
  }
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), kBackdropColour); }
};

void Xdotool(const QStringList& arguments) {
  QProcess::execute(QStringLiteral("xdotool"), arguments);
}

// The section's pixel at screen point (x, y) of a whole-screen frame, as the camera reads it.
QColor SectionPixel(const kalimo::test::TestSection& section, int x, int y) {
  const std::vector<unsigned char> bytes = section.ReadAll();
  const kalimo::FrameSectionHeader header = section.Header();
  const int stride = static_cast<int>(kalimo::DibStride(header.width));
  const unsigned char* pixel = bytes.data() + kalimo::kSectionHeaderSize + (header.height - 1 - y) * stride + x * 3;
  return QColor(pixel[2], pixel[1], pixel[0]);
}

}  // namespace

class ScreenTabTest : public QObject {
  Q_OBJECT

 private:
  screen_test::ProgramFolder program_;

  // Waits for a new movie to start growing (the capture is running) and returns its path.
  QString NewMovie(const QStringList& before) const {
    QString path;
    const auto growing = [&] {
      for (const QString& name : program_.Movies())
        if (!before.contains(name) && QFileInfo(program_.storageRoot + "/Kalimo/录像/" + name).size() > 0)
          path = program_.storageRoot + "/Kalimo/录像/" + name;
      return !path.isEmpty();
    };
    QElapsedTimer waited;
    waited.start();
    while (!growing() && waited.elapsed() < 30000) QTest::qWait(50);
    return path;
  }

 private slots:
  void initTestCase() {
    QVERIFY(program_.Use());
  }

  // Each test's section is a new object: the process's writer must map it afresh.
  void cleanup() { kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle()); }

  void recordOptionsOfferAreaAndWholeScreen() {
    CDlgOfRecordOption options;
    QCOMPARE(options.windowTitle(), QStringLiteral("录制选择框"));
    QCOMPARE(options.RegionMode(), kRegionArea);
    QVERIFY(!options.Regions()->button(kRegionWindow)->isEnabled());
    options.Regions()->button(kRegionWholeScreen)->click();
    QCOMPARE(options.RegionMode(), kRegionWholeScreen);
  }

  void closingTabDuringCaptureStopsIt() {
    kalimo::test::TestSection section;
    QWidget mainWindow;
    auto* screenWindow = new CWindowPlayingCaptureScreen(&mainWindow);
    auto* panel = new CCaptureScreenResourceDlg(screenWindow, &mainWindow);
    mainWindow.show();
    panel->Regions()->button(kRegionWholeScreen)->setChecked(true);
    panel->StartButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(section.Exists(), 20000);
    // The main dialog leaves the screen tab: the playing window goes first, while frames still come.
    delete screenWindow;
    QTest::qWait(300);  // frames arriving now must not reach the deleted window
    delete panel;
  }

  // With a site, the link is the site's help page, with one slash after the site's name however
  // config.ini spells it.
  void helpLinkWithASiteHasNoDoubleSlash() {
    QTemporaryDir program;
    QVERIFY(program.isValid());
    QFile config(program.filePath("config.ini"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[oem]\ncompanywebsite=https://vendor.example/\n");
    config.close();
    const QByteArray previous = qgetenv("KALIMO_PROGRAM_DIR");
    qputenv("KALIMO_PROGRAM_DIR", program.path().toUtf8());
    kalimo::DestroySettingParams();
    CCaptureScreenResourceDlg panel(nullptr);
    const QString text = panel.HelpLink()->text();
    if (previous.isEmpty()) {
      qunsetenv("KALIMO_PROGRAM_DIR");
    } else {
      qputenv("KALIMO_PROGRAM_DIR", previous);
    }
    kalimo::DestroySettingParams();
    QVERIFY2(text.contains("\"https://vendor.example/help/ostrel.html#howtodisablehwa\""), qPrintable(text));
  }

  void panelOffersOnlyWhatWorks() {
    CCaptureScreenResourceDlg panel(nullptr);
    panel.resize(500, 400);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(!panel.Regions()->button(kRegionWindow)->isEnabled());
    QVERIFY(!panel.Records()->button(1)->isEnabled());
    QCOMPARE(panel.Regions()->checkedId(), kRegionArea);
    QCOMPARE(panel.Records()->checkedId(), 0);
    // Centred: the start button and a radio button keep their places relative to the groups.
    QCOMPARE(panel.StartButton()->x(), (500 - 80) / 2);
    panel.resize(800, 400);
    QTRY_COMPARE(panel.StartButton()->x(), (800 - 80) / 2);
    QCOMPARE(panel.Regions()->button(kRegionArea)->x(), (800 - 280) / 2 + 15);
    // No site configured: the guide beside the program, at the screen chapter.
    QVERIFY2(panel.HelpLink()->text().contains("\"file:///") &&
                 panel.HelpLink()->text().contains("/guide/user-guide.html#howtodisablehwa\""),
             qPrintable(panel.HelpLink()->text()));
    // As wide as the main window's tab: the groups and every choice stay whole inside the panel.
    constexpr int kTabWidth = 265;
    panel.resize(kTabWidth, 400);
    QTRY_COMPARE(panel.width(), kTabWidth);
    for (QGroupBox* box : panel.findChildren<QGroupBox*>()) {
      QVERIFY2(box->x() >= 0 && box->geometry().right() < kTabWidth, qPrintable(box->title()));
    }
    for (QAbstractButton* choice : panel.findChildren<QAbstractButton*>()) {
      const int needed = choice->fontMetrics().horizontalAdvance(choice->text()) + 24;  // the mark and its gap
      QVERIFY2(choice->x() >= 0 && choice->geometry().right() < kTabWidth && choice->width() >= needed,
               qPrintable(choice->text()));
    }
  }

  void wholeScreenFeedsCameraUntilEscape() {
    kalimo::test::TestSection section;
    Backdrop backdrop;
    backdrop.show();
    QWidget mainWindow;
    mainWindow.setGeometry(300, 200, 600, 450);
    auto* panel = new CCaptureScreenResourceDlg(nullptr, &mainWindow);
    CWindowPlayingCaptureScreen screenWindow(&mainWindow);
    delete panel;
    panel = new CCaptureScreenResourceDlg(&screenWindow, &mainWindow);
    panel->setGeometry(0, 0, 300, 450);
    mainWindow.show();
    screenWindow.setGeometry(kScreenWindowRect);
    screenWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screenWindow));
    QTRY_COMPARE(screenWindow.geometry(), kScreenWindowRect);

    panel->Regions()->button(kRegionWholeScreen)->setChecked(true);
    QSignalSpy finished(panel, &CCaptureScreenResourceDlg::CaptureFinished);
    panel->StartButton()->click();
    QVERIFY(panel->IsCapturing());
    QCOMPARE(panel->RegionMode(), kRegionWholeScreen);
    QCOMPARE(screenWindow.geometry(), QRect(1590, 830, 320, 240));
    QVERIFY(screenWindow.isVisible());
    QVERIFY(screenWindow.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!mainWindow.isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(section.Exists() && section.Header().width == 1920, 20000);
    QCOMPARE(section.Header().height, 1080);
    QTRY_COMPARE_WITH_TIMEOUT(SectionPixel(section, 700, 500), kBackdropColour, 20000);
    QTRY_VERIFY(!screenWindow.ShownFrame().isNull());
    // What a real client of the virtual camera gets: the backdrop, scaled to the camera's 640 × 480
    // (the pointer is drawn in the middle of the screen, so the points are not there).
    QTemporaryDir client;
    const QImage seen = CameraClientPicture(client.path());
    QCOMPARE(seen.size(), QSize(640, 480));
    for (const QPoint point : {QPoint(160, 120), QPoint(480, 120), QPoint(160, 360), QPoint(40, 40)})
      QCOMPARE(seen.pixelColor(point), kBackdropColour);

    Xdotool({"key", "Escape"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QVERIFY(!panel->IsCapturing());
    QVERIFY(mainWindow.isVisible());
    QVERIFY(!(screenWindow.windowFlags() & Qt::WindowStaysOnTopHint));
    QTRY_COMPARE(screenWindow.geometry(), kScreenWindowRect);
    QVERIFY(screenWindow.isVisible());
    // The camera keeps the last screen frame.
    QCOMPARE(section.Header().width, 1920);
    QCOMPARE(SectionPixel(section, 700, 500), kBackdropColour);
  }

  void draggedAreaGivesFramesOfItsSize() {
    kalimo::test::TestSection section;
    Backdrop backdrop;
    backdrop.show();
    ScreenTab tab;
    tab.panel->StartButton()->click();
    QVERIFY(ShownTopLevel(QStringLiteral("选择区域")));
    Xdotool({"mousemove", "200", "150", "mousedown", "1", "mousemove", "400", "300", "mousemove", "600", "450",
             "mouseup", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(section.Exists(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(section.Header().width, 400, 20000);
    QCOMPARE(section.Header().height, 300);
    QTRY_COMPARE_WITH_TIMEOUT(SectionPixel(section, 10, 10), kBackdropColour, 20000);
    Xdotool({"key", "Escape"});
    QTRY_COMPARE_WITH_TIMEOUT(tab.finished.count(), 1, 20000);
    QVERIFY(tab.mainWindow.isVisible());
  }

  void escapeOnOverlayCancels() {
    ScreenTab tab;
    tab.panel->StartButton()->click();
    QVERIFY(ShownTopLevel(QStringLiteral("选择区域")));
    Xdotool({"key", "Escape"});
    QTRY_COMPARE_WITH_TIMEOUT(tab.finished.count(), 1, 20000);
    QVERIFY(tab.mainWindow.isVisible());
    QVERIFY(!tab.panel->IsCapturing());
  }

  void noFrameAfterFinishedNotice() {
    kalimo::ScreenCaptureModule module;
    QVERIFY(module.Load());
    FinishCounter counter;
    framesCounted = 0;
    module.Start(&CountFrame, kRegionWholeScreen, 0, &counter);
    QTRY_VERIFY_WITH_TIMEOUT(framesCounted > 3, 20000);
    Xdotool({"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(counter.countAtFinish >= 0, 20000);
    QTest::qWait(1000);  // two frame periods and more: a late frame would have come by now
    QCOMPARE(framesCounted.load(), counter.countAtFinish);
    module.Free();
  }

  void missingComponentChangesNothing_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("named");
    QTest::newRow("no library") << "/nonexistent/libScreenCapture.so" << "cannot be loaded";
    QTest::newRow("no entry point") << KALIMO_TEST_OUTPUT_DIR "/libDoveVurarir.so" << "has no entry point ScreenCapture";
  }
  void missingComponentChangesNothing() {
    QFETCH(QString, file);
    QFETCH(QString, named);
    kalimo::ScreenCaptureModule::SetFileName(file.toStdString());
    kalimo::test::LogCapture log;
    ScreenTab tab;
    tab.panel->StartButton()->click();
    kalimo::ScreenCaptureModule::SetFileName(KALIMO_TEST_OUTPUT_DIR "/libScreenCapture.so");
    QVERIFY(!tab.panel->IsCapturing());
    QVERIFY(tab.mainWindow.isVisible());
    const auto records = log.Records();
    QCOMPARE(records.size(), std::size_t{1});
    QCOMPARE(records[0].level, 40000);
    QVERIFY2(QString::fromStdString(records[0].message).contains(named), records[0].message.c_str());
  }

  void recordingPlaysWithScreenSizeAndDuration() {
    Backdrop backdrop;
    backdrop.show();
    QWidget mainWindow;
    mainWindow.show();
    ScreenRecording recording([&] {
      MainWindowViews views;
      views.mainWindow = &mainWindow;
      return views;
    });
    QSignalSpy finished(&recording, &ScreenRecording::Finished);
    const QStringList before = program_.Movies();
    QVERIFY(recording.Start(kRegionWholeScreen));
    QVERIFY(!mainWindow.isVisible());
    const QString movie = NewMovie(before);
    QVERIFY(!movie.isEmpty());
    QElapsedTimer recorded;
    recorded.start();
    QTest::qWait(8000);
    const double seconds = static_cast<double>(recorded.elapsed()) / 1000.0;
    Xdotool({"key", "Escape"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QVERIFY(mainWindow.isVisible());
    const QStringList after = program_.Movies();
    QCOMPARE(after.size(), before.size() + 1);
    QVERIFY2(QFileInfo(movie).fileName().startsWith('M'), qPrintable(movie));
    const ProbedFile file = Probe(movie);
    QCOMPARE(file.width, 1920);
    QCOMPARE(file.height, 1080);
    // The file runs from its first frame (a little before it started growing) to Escape.
    QVERIFY2(std::abs(file.Span() - seconds) <= seconds * 0.1,
             qPrintable(QStringLiteral("%1 s in the file, %2 s recorded").arg(file.Span()).arg(seconds)));
  }

  void killedRecordingStillPlays() {
    const QStringList before = program_.Movies();
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start(QCoreApplication::applicationFilePath(), {"--record-until-killed"});
    QVERIFY(recorder.waitForReadyRead(30000));  // "recording" once the capture runs
    const QString movie = NewMovie(before);
    QVERIFY(!movie.isEmpty());
    QElapsedTimer recorded;
    recorded.start();
    QTest::qWait(5000);
    const double seconds = static_cast<double>(recorded.elapsed()) / 1000.0;
    recorder.kill();
    recorder.waitForFinished();
    const ProbedFile file = Probe(movie);
    QCOMPARE(file.width, 1920);
    // Up to near the kill: the frames still in the encoder and the queue are lost.
    QVERIFY2(file.Span() >= seconds - 1.5,
             qPrintable(QStringLiteral("%1 s in the file, %2 s recorded").arg(file.Span()).arg(seconds)));
  }
};

// "--screenshots DIR": the screen tab (panel beside the idle screen window) and the area overlay in
// the middle of a drag, as PNG files in DIR (docs/ of the tree; take-screenshots.sh runs it).
int TakeScreenshots(const QString& folder) {
  qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR);
  kalimo::ScreenCaptureModule::SetFileName(KALIMO_TEST_OUTPUT_DIR "/libScreenCapture.so");
  Backdrop backdrop;
  backdrop.show();
  QWidget mainWindow(nullptr, Qt::BypassWindowManagerHint);
  mainWindow.setGeometry(200, 150, 760, 420);
  mainWindow.setAutoFillBackground(true);
  CWindowPlayingCaptureScreen screenWindow(&mainWindow);
  auto* panel = new CCaptureScreenResourceDlg(&screenWindow, &mainWindow);
  panel->setGeometry(0, 0, 320, 420);
  mainWindow.show();
  screenWindow.setWindowFlag(Qt::BypassWindowManagerHint);
  screenWindow.setGeometry(520, 150, 440, 420);
  screenWindow.show();
  QTest::qWait(1500);
  QScreen* screen = QGuiApplication::primaryScreen();
  const bool tab = screen->grabWindow(0, 200, 150, 760, 420).save(folder + "/screen-tab.png");
  panel->Regions()->button(kRegionArea)->setChecked(true);
  panel->StartButton()->click();
  QTest::qWait(2000);
  Xdotool({"mousemove", "500", "300", "mousedown", "1", "mousemove", "900", "500", "mousemove", "1100", "650"});
  QTest::qWait(1000);
  const bool overlay = screen->grabWindow(0).save(folder + "/screen-area-overlay.png");
  Xdotool({"mouseup", "1"});
  QTest::qWait(500);
  Xdotool({"key", "Escape"});
  QTest::qWait(1000);
  return tab && overlay ? 0 : 1;
}

// "--record-until-killed": the child of killedRecordingStillPlays, recording until it is killed.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc > 1 && QByteArray(argv[1]) == "--record-until-killed") {
    kalimo::ScreenCaptureModule::SetFileName(KALIMO_TEST_OUTPUT_DIR "/libScreenCapture.so");
    ScreenRecording recording(MainWindowViewsLookup{});
    if (!recording.Start(kRegionWholeScreen)) return 1;
    QTimer::singleShot(500, [] { fputs("recording\n", stdout); fflush(stdout); });
    return application.exec();
  }
  if (argc > 2 && QByteArray(argv[1]) == "--screenshots") return TakeScreenshots(QString::fromLocal8Bit(argv[2]));
  ScreenTabTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ScreenTabTest.moc"
