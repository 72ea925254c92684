// The screen tab on Wayland's terms (run by with-pipewire-session.sh: a private session bus, PipeWire
// and WirePlumber, XDG_SESSION_TYPE=wayland): the built screen-capture component asks the test's
// ScreenCast portal (fake_screencast_portal.py), which shares a real PipeWire stream of videotestsrc's
// SMPTE bars. Checked: the frames in the frame section and what a client of the virtual camera sees,
// the recording read by ffprobe and ffmpeg, the stop window, a portal that is missing, refuses or
// ends the session itself, and that no frame comes after the finished notice.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <signal.h>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "components/ScreenCaptureApi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSection.h"
#include "tests/windows/screen/ScreenTestSupport.h"
#include "windows/screen/CCaptureScreenResourceDlg.h"
#include "windows/screen/ScreenCaptureModule.h"
#include "windows/screen/ScreenRecording.h"

using namespace screen_test;

namespace {

const QSize kStreamSize(320, 240);
const QString kStopWindowName = QStringLiteral("屏幕捕获");

// The test's ScreenCast portal, ended with the object. It prints what it is asked, line by line.
class FakePortal {
 public:
  explicit FakePortal(const QStringList& arguments = {}) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(KALIMO_SYSTEM_PYTHON), QStringList{QStringLiteral(KALIMO_FAKE_PORTAL)} + arguments);
  }
  ~FakePortal() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
      process_.kill();
      process_.waitForFinished();
    }
  }
  FakePortal(const FakePortal&) = delete;
  FakePortal& operator=(const FakePortal&) = delete;

  // The first line the portal printed that starts with `prefix`, waiting for it while the event
  // loop runs (the component's D-Bus replies need it); empty when none came.
  QString Said(const QString& prefix) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 30000) {
      while (process_.canReadLine()) lines_ << QString::fromUtf8(process_.readLine()).trimmed();
      for (const QString& line : lines_)
        if (line.startsWith(prefix)) return line;
      if (process_.state() == QProcess::NotRunning) break;
      QTest::qWait(50);
    }
    return {};
  }
  // Ends every session as the desktop's stop indicator does.
  void EndSessions() { ::kill(static_cast<pid_t>(process_.processId()), SIGUSR1); }

 private:
  QProcess process_;
  QStringList lines_;
};

// The stream's first picture as the portal's videotestsrc makes it, made again by gst-launch-1.0.
QImage StreamPicture() {
  QTemporaryDir folder;
  const QString file = folder.filePath("bars.bgrx");
  QProcess::execute(QStringLiteral("gst-launch-1.0"),
                    {"-q", "videotestsrc", "pattern=smpte", "num-buffers=1", "!",
                     QStringLiteral("video/x-raw,format=BGRx,width=%1,height=%2")
                         .arg(kStreamSize.width())
                         .arg(kStreamSize.height()),
                     "!", "filesink", "location=" + file});
  QFile bytes(file);
  if (!bytes.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = bytes.readAll();
  if (data.size() != kStreamSize.width() * kStreamSize.height() * 4) return {};
  // BGRx bytes are QImage's 32-bit RGB on a little-endian machine.
  return QImage(reinterpret_cast<const uchar*>(data.constData()), kStreamSize.width(), kStreamSize.height(),
                kStreamSize.width() * 4, QImage::Format_RGB32)
      .copy();
}

// The frame in the section, upright, as the camera reads it.
QImage SectionPicture(const kalimo::test::TestSection& section) {
  const std::vector<unsigned char> bytes = section.ReadAll();
  const kalimo::FrameSectionHeader header = section.Header();
  const int stride = static_cast<int>(kalimo::DibStride(header.width));
  if (bytes.size() < kalimo::kSectionHeaderSize + static_cast<std::size_t>(stride) * header.height) return {};
  QImage picture(header.width, header.height, QImage::Format_RGB32);
  for (int y = 0; y < header.height; ++y) {
    const unsigned char* row = bytes.data() + kalimo::kSectionHeaderSize + (header.height - 1 - y) * stride;
    for (int x = 0; x < header.width; ++x) picture.setPixel(x, y, qRgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]));
  }
  return picture;
}

// The SMPTE bars without their lower right quarter, whose noise changes with every picture.
QImage WithoutNoise(QImage picture) {
  for (int y = picture.height() * 3 / 4; y < picture.height(); ++y)
    for (int x = picture.width() * 3 / 4; x < picture.width(); ++x) picture.setPixel(x, y, qRgb(0, 0, 0));
  return picture;
}

// Points inside the bars, away from their edges: the top row of seven bars, and the lower rows.
const QPoint kBarPoints[] = {{22, 40}, {68, 40}, {114, 40}, {160, 40}, {205, 40}, {251, 40}, {297, 40},
                             {30, 175}, {120, 175}, {30, 220}, {80, 220}, {140, 220}};

bool NearlyEqual(QColor a, QColor b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

bool StopWindowShown() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->accessibleName() == kStopWindowName && widget->isVisible()) return true;
  return false;
}

// The first picture of a recording, decoded by ffmpeg.
QImage FirstRecordedPicture(const QString& movie, const QSize& size) {
  QProcess decoder;
  decoder.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", movie, "-frames:v", "1", "-f", "rawvideo",
                                           "-pix_fmt", "rgb24", "-"});
  decoder.waitForFinished(120000);
  const QByteArray data = decoder.readAllStandardOutput();
  if (data.size() != size.width() * size.height() * 3) return {};
  return QImage(reinterpret_cast<const uchar*>(data.constData()), size.width(), size.height(), size.width() * 3,
                QImage::Format_RGB888)
      .copy();
}

}  // namespace

class ScreenPortalTest : public QObject {
  Q_OBJECT

 private:
  screen_test::ProgramFolder program_;
  QImage bars_;

 private slots:
  void initTestCase() {
    QVERIFY(program_.Use());
    qputenv("XDG_SESSION_TYPE", "wayland");
    bars_ = StreamPicture();
    QCOMPARE(bars_.size(), kStreamSize);
  }

  // Each test's section is a new object: the process's writer must map it afresh.
  void cleanup() { kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle()); }

  void panelFeedsCameraFromPortalStreamUntilEscape_data() {
    QTest::addColumn<int>("regionMode");
    QTest::addColumn<QString>("asked");
    QTest::newRow("whole screen: a monitor") << kRegionWholeScreen << "select types=1 cursor_mode=2";
    // No overlay can see or cover a Wayland screen: the desktop's dialog offers windows and monitors.
    QTest::newRow("area: chosen in the desktop's dialog") << kRegionArea << "select types=3 cursor_mode=2";
  }
  void panelFeedsCameraFromPortalStreamUntilEscape() {
    QFETCH(int, regionMode);
    QFETCH(QString, asked);
    FakePortal portal;
    QVERIFY(!portal.Said("ready").isEmpty());
    kalimo::test::TestSection section;
    ScreenTab tab;
    tab.panel->Regions()->button(regionMode)->setChecked(true);
    tab.panel->StartButton()->click();
    QVERIFY(tab.panel->IsCapturing());
    QVERIFY(!tab.mainWindow.isVisible());
    QCOMPARE(portal.Said("select"), asked);
    QVERIFY(!portal.Said("stream node=").isEmpty());

    QPointer<QWidget> stopWindow = ShownTopLevel(kStopWindowName);
    QVERIFY(stopWindow);
    QTRY_VERIFY_WITH_TIMEOUT(section.Exists() && section.Header().width == kStreamSize.width(), 30000);
    QCOMPARE(section.Header().height, kStreamSize.height());
    QCOMPARE(WithoutNoise(SectionPicture(section)), WithoutNoise(bars_));  // every pixel, upright
    QTRY_VERIFY(!tab.screenWindow->ShownFrame().isNull());

    // A client of the virtual camera gets the bars, scaled to 640 × 480: its (2x, 2y) is the stream's (x, y).
    QTemporaryDir client;
    const QImage seen = CameraClientPicture(client.path());
    QCOMPARE(seen.size(), QSize(640, 480));
    for (const QPoint& point : kBarPoints)
      QCOMPARE(seen.pixelColor(point * 2), bars_.pixelColor(point));

    QTest::keyClick(stopWindow, Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(tab.finished.count(), 1, 20000);
    QVERIFY(!tab.panel->IsCapturing());
    QVERIFY(tab.mainWindow.isVisible());
    QVERIFY(!stopWindow);
    // The component closed its session, so the desktop's sharing indicator goes away.
    QVERIFY(!portal.Said("closed by client").isEmpty());
    QCOMPARE(WithoutNoise(SectionPicture(section)), WithoutNoise(bars_));  // the camera keeps the last frame
  }

  void closingTabDuringPortalCaptureStopsIt() {
    FakePortal portal;
    QVERIFY(!portal.Said("ready").isEmpty());
    kalimo::test::TestSection section;
    auto tab = std::make_unique<ScreenTab>();
    tab->panel->Regions()->button(kRegionWholeScreen)->setChecked(true);
    tab->panel->StartButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(section.Exists(), 30000);
    tab.reset();  // the main dialog leaves the screen tab
    QVERIFY(!StopWindowShown());
    QVERIFY(!portal.Said("closed by client").isEmpty());
  }

  void recordingFromPortalStreamStopsAtStopButton() {
    FakePortal portal;
    QVERIFY(!portal.Said("ready").isEmpty());
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
    QPointer<QWidget> stopWindow = ShownTopLevel(kStopWindowName);
    QVERIFY(stopWindow);
    QString movie;
    QTRY_VERIFY_WITH_TIMEOUT(program_.Movies().size() == before.size() + 1, 30000);
    for (const QString& name : program_.Movies())
      if (!before.contains(name)) movie = program_.storageRoot + "/Kalimo/录像/" + name;
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(movie).size() > 0, 30000);
    QTest::qWait(3000);  // the length of the recording, not a condition
    auto* stop = stopWindow->findChild<QPushButton*>();
    QVERIFY(stop);
    QCOMPARE(stop->text(), QStringLiteral("停止捕获"));
    stop->click();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QVERIFY(mainWindow.isVisible());
    QVERIFY(!portal.Said("closed by client").isEmpty());

    const ProbedFile file = Probe(movie);
    QCOMPARE(QSize(file.width, file.height), kStreamSize);
    QVERIFY2(file.Span() > 0.3, qPrintable(QStringLiteral("%1 s in the file").arg(file.Span())));
    const QImage recorded = FirstRecordedPicture(movie, kStreamSize);
    QCOMPARE(recorded.size(), kStreamSize);
    for (const QPoint& point : kBarPoints)  // VP8 keeps the bars' colours, not their exact values
      QVERIFY2(NearlyEqual(recorded.pixelColor(point), bars_.pixelColor(point), 24),
               qPrintable(QStringLiteral("at %1,%2: %3 for %4").arg(point.x()).arg(point.y())
                              .arg(recorded.pixelColor(point).name(), bars_.pixelColor(point).name())));
  }

  void portalWithoutStreamEndsWithClearError_data() {
    QTest::addColumn<bool>("portalRuns");
    QTest::addColumn<QStringList>("portalArguments");
    QTest::addColumn<int>("regionMode");
    QTest::addColumn<QString>("named");
    QTest::newRow("no portal on the bus") << false << QStringList{} << kRegionWholeScreen
                                          << "nothing provides org.freedesktop.portal.Desktop";
    QTest::newRow("a portal without ScreenCast") << true << QStringList{"--no-screencast"} << kRegionWholeScreen
                                                 << "no ScreenCast interface (org.freedesktop.portal.ScreenCast)";
    QTest::newRow("the user refuses") << true << QStringList{"--refuse"} << kRegionWholeScreen
                                      << "refused in the desktop's sharing dialog";
    QTest::newRow("an area where only monitors are offered")
        << true << QStringList{"--source-types", "1"} << kRegionArea << "offers only whole monitors";
  }
  void portalWithoutStreamEndsWithClearError() {
    QFETCH(bool, portalRuns);
    QFETCH(QStringList, portalArguments);
    QFETCH(int, regionMode);
    QFETCH(QString, named);
    std::unique_ptr<FakePortal> portal;
    if (portalRuns) {
      portal = std::make_unique<FakePortal>(portalArguments);
      QVERIFY(!portal->Said("ready").isEmpty());
    }
    kalimo::test::LogCapture log;
    kalimo::ScreenCaptureModule module;
    QVERIFY(module.Load());
    FinishCounter counter;
    framesCounted = 0;
    module.Start(&CountFrame, regionMode, 0, &counter);
    QTRY_VERIFY_WITH_TIMEOUT(counter.countAtFinish >= 0, 30000);
    QCOMPARE(counter.countAtFinish, 0);
    QVERIFY(!StopWindowShown());
    const auto records = log.Records();
    QCOMPARE(records.size(), std::size_t{1});
    QCOMPARE(records[0].level, 40000);
    QVERIFY2(QString::fromStdString(records[0].message).contains(named), records[0].message.c_str());
    if (portalArguments.contains("--refuse")) QVERIFY(!portal->Said("closed by client").isEmpty());
    module.Free();
    QCOMPARE(framesCounted.load(), 0);
  }

  void portalEndingSessionEndsCapture() {
    FakePortal portal;
    QVERIFY(!portal.Said("ready").isEmpty());
    kalimo::test::LogCapture log;
    kalimo::ScreenCaptureModule module;
    QVERIFY(module.Load());
    FinishCounter counter;
    framesCounted = 0;
    module.Start(&CountFrame, kRegionWholeScreen, 0, &counter);
    QTRY_VERIFY_WITH_TIMEOUT(framesCounted > 3, 30000);
    QVERIFY(StopWindowShown());
    portal.EndSessions();  // the user stops sharing at the desktop's indicator
    QVERIFY(!portal.Said("closed by portal").isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(counter.countAtFinish >= 0, 20000);
    QVERIFY(!StopWindowShown());
    QTest::qWait(1000);  // many frame periods: a late frame would have come by now
    QCOMPARE(framesCounted.load(), counter.countAtFinish);
    for (const auto& record : log.Records()) QVERIFY2(record.level < 40000, record.message.c_str());
    module.Free();
  }
};

QTEST_MAIN(ScreenPortalTest)

#include "ScreenPortalTest.moc"
