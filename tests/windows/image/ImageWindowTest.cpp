// The image tab's window and bar with the image list panel on the offscreen platform: the
// slideshow's order and timing driven tick by tick, pause, hiding, a list shortened under the
// position, and what reaches the frame section (read back as the virtual camera reads it).
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "common/FrameSectionLayout.h"
#include "tests/support/TestSection.h"
#include "windows/base/CPictureControl.h"
#include "windows/image/CImageResourceListDlg.h"
#include "windows/image/CPlayImageControlDlg.h"
#include "windows/image/CWindowPlayingImage.h"
#include "windows/image/ImageThumbnailStrip.h"
#include "windows/skin/CXPStyleButtonST.h"

namespace {

const QColor kColours[] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200)};

// What the section holds: the picture's size and the colour of its first pixel.
struct SectionFrame {
  int width = 0;
  int height = 0;
  QColor colour;
  bool operator==(const SectionFrame&) const = default;
};

SectionFrame ReadSection(const kalimo::test::TestSection& section) {
  const std::vector<unsigned char> bytes = section.ReadAll();
  if (bytes.size() < kalimo::kSectionHeaderSize + 3) return {};
  const kalimo::FrameSectionHeader header = kalimo::LoadSectionHeader(bytes.data());
  const unsigned char* pixel = bytes.data() + kalimo::kSectionHeaderSize;
  return {header.width, header.height, QColor(pixel[2], pixel[1], pixel[0])};
}

}  // namespace

class ImageWindowTest : public QObject {
  Q_OBJECT

  // The section is the process's one: the writer keeps the name it first opened.
  kalimo::test::TestSection section_;
  QTemporaryDir program_;
  QStringList images_;

  QString MakeImage(const QString& name, QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = program_.filePath(name);
    if (!image.save(path)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

  // A panel with the three images and a window showing them, timer stopped: the test ticks.
  struct Tab {
    // Each tab starts from an empty list: the previous one saved its list when it went away.
    bool listRemoved = QFile::remove(QDir(qEnvironmentVariable("KALIMO_PROGRAM_DIR")).filePath("images.dat"));
    CImageResourceListDlg panel;
    CWindowPlayingImage window;
    explicit Tab(const QStringList& images) {
      panel.AddImageFiles(images);
      window.Timer().stop();
      window.SetImageSource([this](std::int32_t& index) { return panel.GetImageAt(index); });
      window.show();
      if (!QTest::qWaitForWindowExposed(&window)) qFatal("the image window was not shown");
    }
    // Ticks and paints what is due now.
    void Tick(int count = 1) {
      for (int i = 0; i < count; ++i) window.OnTimerTick();
      window.Picture()->repaint();
    }
    QColor Shown() const {
      const QImage grabbed = window.Picture()->grab().toImage();
      return grabbed.pixelColor(grabbed.rect().center());
    }
  };

  SectionFrame Frame(int image) const { return {64, 48, kColours[image]}; }

 private slots:
  void initTestCase() {
    qputenv("KALIMO_PROGRAM_DIR", program_.path().toUtf8());
    for (int i = 0; i < 3; ++i) images_ << MakeImage(QStringLiteral("flat%1.png").arg(i), QSize(64, 48), kColours[i]);
  }

  void windowStartsWithTwoSecondsATickASecondAnd4To3() {
    CWindowPlayingImage fresh;
    QVERIFY(fresh.Timer().isActive());
    QCOMPARE(fresh.Timer().interval(), 1000);
    QCOMPARE(fresh.Bar()->SecondsEdit()->text(), QStringLiteral("2"));
    QCOMPARE(fresh.Bar()->PauseButton()->text(), QStringLiteral("暂停"));
    QCOMPARE(fresh.windowTitle(), QStringLiteral("效果区"));
    const QSize picture = fresh.Picture()->size();
    QVERIFY(qAbs(picture.width() * 3 - picture.height() * 4) <= 4);
  }

  void imagesChangeAtSecondsTwoFourSixInListOrder() {
    Tab tab(images_);
    QTRY_COMPARE(ReadSection(section_), Frame(0));
    QCOMPARE(tab.Shown(), kColours[0]);
    const int expected[] = {0, 1, 1, 2, 2, 0, 0};  // after seconds 1 … 7
    for (int second = 1; second <= 7; ++second) {
      tab.Tick();
      QCOMPARE(ReadSection(section_), Frame(expected[second - 1]));
      QCOMPARE(tab.Shown(), kColours[expected[second - 1]]);
    }
    // Back at the first image, the window's position was set back to 0.
    QCOMPARE(tab.window.Show().ImageIndex(), 0);
  }

  void typingFiveHoldsTheImageFiveTicks() {
    Tab tab(images_);
    tab.Tick(2);
    QCOMPARE(ReadSection(section_), Frame(1));
    tab.window.Bar()->SecondsEdit()->clear();
    QTest::keyClicks(tab.window.Bar()->SecondsEdit(), QStringLiteral("5"));
    for (int tick = 1; tick <= 4; ++tick) {
      tab.Tick();
      QCOMPARE(ReadSection(section_), Frame(1));
    }
    tab.Tick();
    QCOMPARE(ReadSection(section_), Frame(2));
  }

  void zeroOrLettersChangeEverySecond_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("0") << QStringLiteral("0");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("empty") << QString();
  }
  void zeroOrLettersChangeEverySecond() {
    QFETCH(QString, typed);
    Tab tab(images_);
    tab.window.Bar()->SecondsEdit()->setText(typed);
    for (int image : {1, 2, 0}) {
      tab.Tick();
      QCOMPARE(ReadSection(section_), Frame(image));
    }
  }

  void pauseKeepsThePictureAndResumeContinuesTheCount() {
    Tab tab(images_);
    tab.Tick();  // one second counted towards image 1
    QPushButton* button = tab.window.Bar()->PauseButton();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("播放"));
    QVERIFY(tab.window.Show().IsPaused());
    tab.Tick(10);
    QCOMPARE(ReadSection(section_), Frame(0));
    QCOMPARE(tab.Shown(), kColours[0]);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("暂停"));
    tab.Tick();
    QCOMPARE(ReadSection(section_), Frame(1));
  }

  void hiddenWindowSendsNothingAndShowingSendsTheCurrentImage() {
    Tab tab(images_);
    QTRY_COMPARE(ReadSection(section_), Frame(0));
    tab.window.ShowPlayingWindow(false);
    QVERIFY(!tab.window.Bar()->isVisible());
    tab.Tick(4);  // images 1 and 2 become current unseen
    QCOMPARE(tab.window.Show().ImageIndex(), 2);
    QCOMPARE(ReadSection(section_), Frame(0));
    tab.window.ShowPlayingWindow(true);
    QTRY_COMPARE(ReadSection(section_), Frame(2));
  }

  void shorteningTheListUnderThePositionRestartsAtTheFirst() {
    Tab tab(images_);
    tab.Tick(4);
    QCOMPARE(ReadSection(section_), Frame(2));
    // Delete the last two images through the panel, as the user would.
    for (int index : {2, 1}) {
      const QRect band = tab.panel.Strip()->VisibleBands().at(static_cast<std::size_t>(index)).rect;
      QTest::mouseClick(tab.panel.Strip(), Qt::LeftButton, {}, band.center());
      QTest::mouseClick(tab.panel.DeleteButton(), Qt::LeftButton);
    }
    QCOMPARE(tab.panel.Images().Count(), 1);
    tab.Tick(2);
    QCOMPARE(ReadSection(section_), Frame(0));
    QCOMPARE(tab.window.Show().ImageIndex(), 0);
  }

  void largePicturesGoInTheirOwnSizeOrNotAtAll() {
    // 3264 × 1836 (a 6-megapixel photo) takes 17978112 bytes, just within the section's 17999996;
    // 2600 × 2600 takes 20280000 and is refused: it is drawn but the camera keeps the last frame.
    const QStringList large = {MakeImage("fits.png", QSize(3264, 1836), Qt::yellow),
                               MakeImage("toolarge.png", QSize(2600, 2600), Qt::magenta)};
    Tab tab(large);
    QTRY_COMPARE(ReadSection(section_), (SectionFrame{3264, 1836, QColor(Qt::yellow)}));
    QCOMPARE(section_.Header().byteCount, 17978112);
    tab.window.Bar()->SecondsEdit()->setText("1");
    tab.Tick();
    QCOMPARE(tab.window.CurrentPath(), large[1]);
    QCOMPARE(tab.Shown(), QColor(Qt::magenta));
    QCOMPARE(ReadSection(section_), (SectionFrame{3264, 1836, QColor(Qt::yellow)}));
  }

  // Pictures of 6000 × 4000, far too large for the section, are shown scaled all the same: a
  // phone's JPEG, and a PNG of 16 bits a channel (192 MB decoded, beyond Qt's default limit).
  void phoneSizedPicturesAreShownScaled_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("deep");
    QTest::newRow("JPEG") << "phone.jpg" << false;
    QTest::newRow("16-bit PNG") << "deep.png" << true;
  }
  void phoneSizedPicturesAreShownScaled() {
    QFETCH(QString, name);
    QFETCH(bool, deep);
    QImage image(QSize(6000, 4000), deep ? QImage::Format_RGBA64 : QImage::Format_RGB32);
    image.fill(Qt::cyan);
    const QString path = program_.filePath(name);
    QVERIFY(image.save(path));
    image = QImage();
    const SectionFrame before = ReadSection(section_);
    Tab tab({path});
    QTRY_VERIFY(tab.window.DecodeCount() >= 1);
    QCOMPARE(tab.Shown(), QColor(Qt::cyan));
    QCOMPARE(ReadSection(section_), before);  // the camera keeps what it had
  }

  void repaintsDrawWithoutDecodingAgain() {
    Tab tab(images_);
    QTRY_VERIFY(tab.window.DecodeCount() >= 1);
    const int decoded = tab.window.DecodeCount();
    for (int i = 0; i < 20; ++i) {
      tab.window.resize(tab.window.width() + 1, tab.window.height());
      tab.window.Picture()->repaint();
    }
    QCOMPARE(tab.window.DecodeCount(), decoded);
    tab.Tick(2);
    QCOMPARE(tab.window.DecodeCount(), decoded + 1);
  }

  void emptyListOrBrokenFileDrawsAndSendsNothing() {
    Tab tab(images_);
    QTRY_COMPARE(ReadSection(section_), Frame(0));
    QFile broken(program_.filePath("broken.png"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    tab.window.SetImageSource([&](std::int32_t&) { return broken.fileName().toStdString(); });
    tab.window.Picture()->repaint();
    QCOMPARE(tab.Shown(), QColor(Qt::black));
    tab.window.SetImageSource([](std::int32_t&) { return std::string(); });
    tab.window.Picture()->repaint();
    QCOMPARE(tab.Shown(), QColor(Qt::black));
    QCOMPARE(ReadSection(section_), Frame(0));
  }
};

QTEST_MAIN(ImageWindowTest)
#include "ImageWindowTest.moc"
