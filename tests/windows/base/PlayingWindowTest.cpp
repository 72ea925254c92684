// The playing window base on the offscreen platform: fitting the picture, the bar, Escape, and
// drawing a picture file.
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "windows/base/CPictureControl.h"
#include "windows/base/CWindowPlayingResource.h"

namespace {

// A playing window as the derived ones make it: a picture control and a bar of a given height.
class TestPlayingWindow : public CWindowPlayingResource {
 public:
  explicit TestPlayingWindow(int barHeight) : CWindowPlayingResource(nullptr) {
    picture = new CPictureControl;
    SetPictureControl(picture);
    if (barHeight > 0) {
      auto* bar = new QWidget;
      bar->resize(100, barHeight);
      SetControlBar(bar);
    }
  }
  void SetPictureSize(int width, int height) {
    pictureWidth = width;
    pictureHeight = height;
    FitPicture();
  }
  CPictureControl* picture;
};

}  // namespace

class PlayingWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR); }

  void fitPictureRect_data() {
    QTest::addColumn<QSize>("free");
    QTest::addColumn<int>("top");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QRect>("expected");
    // 420 × 480 client less a 60-pixel bar: letter-boxed and centred.
    QTest::newRow("taller area") << QSize(420, 420) << 0 << QSize(640, 480) << QRect(0, 52, 420, 315);
    QTest::newRow("very wide") << QSize(1000, 300) << 0 << QSize(640, 480) << QRect(300, 0, 400, 300);
    QTest::newRow("same ratio") << QSize(320, 240) << 0 << QSize(640, 480) << QRect(0, 0, 320, 240);
    QTest::newRow("top margin") << QSize(420, 420) << 30 << QSize(640, 480) << QRect(0, 82, 420, 315);
    // Truncation toward zero: 0.5625 × 333 = 187.3; the odd remainder halves downward.
    QTest::newRow("16:9 truncated") << QSize(333, 400) << 0 << QSize(1280, 720) << QRect(0, 106, 333, 187);
    QTest::newRow("portrait source") << QSize(400, 400) << 0 << QSize(480, 640) << QRect(50, 0, 300, 400);
    QTest::newRow("no free area") << QSize(420, 0) << 0 << QSize(640, 480) << QRect(0, 0, 0, 0);
  }
  void fitPictureRect() {
    QFETCH(QSize, free);
    QFETCH(int, top);
    QFETCH(QSize, source);
    QFETCH(QRect, expected);
    QCOMPARE(FitPictureRect(free.width(), free.height(), top, source.width(), source.height()), expected);
  }

  void windowFitsPictureAboveBar() {
    TestPlayingWindow window(60);
    window.show();
    window.resize(600, 600);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.ClientArea()->resize(420, 480);  // the frame sizes it; here fixed for the figures
    QCOMPARE(window.picture->geometry(), QRect(0, 52, 420, 315));
    QCOMPARE(window.ControlBar()->geometry(), QRect(0, 420, 420, 60));
    QCOMPARE(window.GetControlBarHeight(), 60);

    // The source's real size replaces 640 × 480 when it opens.
    window.SetPictureSize(420, 420);
    QCOMPARE(window.picture->geometry(), QRect(0, 0, 420, 420));

    // Resizing the window lays out again; the bar stays at the bottom across the full width.
    window.resize(900, 500);
    QTRY_COMPARE(window.ControlBar()->geometry().bottom(), window.ClientArea()->height() - 1);
    QCOMPARE(window.ControlBar()->width(), window.ClientArea()->width());
    QCOMPARE(window.picture->geometry().bottom() < window.ControlBar()->y(), true);

    window.ShowPlayingWindow(false);
    QVERIFY(!window.isVisible());
    window.ShowPlayingWindow(true);
    QVERIFY(window.isVisible() && window.ControlBar()->isVisible());
  }

  void windowWithoutBar() {
    TestPlayingWindow window(0);
    window.show();
    window.ClientArea()->resize(420, 480);
    QCOMPARE(window.GetControlBarHeight(), 0);
    QCOMPARE(window.picture->geometry(), QRect(0, 82, 420, 315));
  }

  void escapeIsSwallowed() {
    TestPlayingWindow window(60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy rejected(&window, &QDialog::rejected);
    QSignalSpy finished(&window, &QDialog::finished);
    QTest::keyClick(&window, Qt::Key_Escape);
    window.picture->setFocusPolicy(Qt::StrongFocus);
    window.picture->setFocus();
    QTest::keyClick(window.picture, Qt::Key_Escape);
    QCOMPARE(rejected.count(), 0);
    QCOMPARE(finished.count(), 0);
    QVERIFY(window.isVisible());
  }

  void drawPictureFileDraws() {
    QTemporaryDir folder;
    const QString path = folder.filePath("green.png");
    QImage source(64, 48, QImage::Format_RGB32);
    source.fill(QColor(0, 255, 0));
    QVERIFY(source.save(path));

    TestPlayingWindow window(60);
    window.show();
    window.ClientArea()->resize(420, 480);
    QImage canvas(window.ClientArea()->size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
      QPainter painter(&canvas);
      QVERIFY(window.DrawPictureFile(window.ClientArea(), painter, path));
    }
    // Stretched into the picture control's rectangle less 5 at the top and 2 at the bottom.
    const QRect control = window.picture->geometry();
    QCOMPARE(canvas.pixelColor(control.center()), QColor(0, 255, 0));
    QCOMPARE(canvas.pixelColor(control.left() + 10, control.top() + 4), QColor(Qt::black));
    QCOMPARE(canvas.pixelColor(control.left() + 10, control.top() + 5), QColor(0, 255, 0));
    QCOMPARE(canvas.pixelColor(control.left() + 10, control.bottom() - 2), QColor(0, 255, 0));
    QCOMPARE(canvas.pixelColor(control.left() + 10, control.bottom() - 1), QColor(Qt::black));
    // A missing file, or none, draws nothing.
    canvas.fill(Qt::black);
    {
      QPainter painter(&canvas);
      QVERIFY(!window.DrawPictureFile(window.ClientArea(), painter, folder.filePath("gone.png")));
      QVERIFY(!window.DrawPictureFile(window.ClientArea(), painter, QString()));
    }
    QCOMPARE(canvas.pixelColor(control.center()), QColor(Qt::black));
  }
};

QTEST_MAIN(PlayingWindowTest)
#include "PlayingWindowTest.moc"
