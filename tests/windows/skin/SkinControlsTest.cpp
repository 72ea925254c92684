// The picture buttons, the picture look-up and the tab strip on the offscreen platform.
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "windows/skin/ButtonColours.h"
#include "windows/skin/CButtonST.h"
#include "windows/skin/CTabCtrlEx.h"
#include "windows/skin/CThemeHelperST.h"
#include "windows/skin/CXPStyleButtonST.h"
#include "windows/skin/SkinResources.h"
#include "windows/skin/TabStripGeometry.h"

using kalimo::skin::FrameRect;
using kalimo::skin::Rgb;

namespace {

// A program folder holding a few real pictures.
class ProgramFolder {
 public:
  ProgramFolder() {
    QDir(dir_.path()).mkpath("Image");
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(dir_.filePath("Image/CloseSound.png"));
    red.save(dir_.filePath("Image/capturescreenintro.jpg"));
    qputenv("KALIMO_PROGRAM_DIR", dir_.path().toUtf8());
  }
  ~ProgramFolder() { qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR); }
  QString Path(const QString& relative) const { return dir_.filePath(relative); }

 private:
  QTemporaryDir dir_;
};

}  // namespace

Q_DECLARE_METATYPE(Rgb)

class SkinControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR); }

  void brightenHoverBackground_data() {
    QTest::addColumn<Rgb>("colour");
    QTest::addColumn<Rgb>("brightened");
    QTest::newRow("button face to white") << Rgb{240, 240, 240} << Rgb{255, 255, 255};
    QTest::newRow("blue rises by 30") << Rgb{100, 150, 200} << Rgb{130, 180, 230};
    QTest::newRow("black") << Rgb{0, 0, 0} << Rgb{30, 30, 30};
    QTest::newRow("225 still rises by 30") << Rgb{225, 0, 0} << Rgb{255, 30, 30};
    QTest::newRow("226 limits the rise to 29") << Rgb{226, 0, 0} << Rgb{255, 29, 29};
    QTest::newRow("one white channel stops all") << Rgb{255, 10, 10} << Rgb{255, 10, 10};
    QTest::newRow("white stays white") << Rgb{255, 255, 255} << Rgb{255, 255, 255};
    QTest::newRow("smallest headroom wins") << Rgb{250, 230, 100} << Rgb{255, 235, 105};
  }
  void brightenHoverBackground() {
    QFETCH(Rgb, colour);
    QFETCH(Rgb, brightened);
    QCOMPARE(kalimo::skin::BrightenHoverBackground(colour), brightened);
  }

  void buttonBrightensItsInColourOnly() {
    CButtonST button("帮助");
    button.SetColor(CButtonST::kColorBackgroundIn, QColor(100, 150, 200));
    button.SetColor(CButtonST::kColorBackgroundOut, QColor(100, 150, 200));
    button.BrightenHoverBackground();
    QCOMPARE(button.GetColor(CButtonST::kColorBackgroundIn), QColor(130, 180, 230));
    QCOMPARE(button.GetColor(CButtonST::kColorBackgroundOut), QColor(100, 150, 200));
  }

  void picturesAreFoundWhateverTheCase() {
    ProgramFolder folder;
    const QString file = folder.Path("Image/CloseSound.png");
    QCOMPARE(kalimo::skin::FindProgramPicture("CloseSound.png"), file);
    QCOMPARE(kalimo::skin::FindProgramPicture("closeSound.png"), file);
    QCOMPARE(kalimo::skin::FindProgramFile("image/capturescreenintro.jpg"), folder.Path("Image/capturescreenintro.jpg"));
    QCOMPARE(kalimo::skin::FindProgramFile("image\\capturescreenintro.jpg"), folder.Path("Image/capturescreenintro.jpg"));
    QVERIFY(kalimo::skin::FindProgramPicture("openSound.png").isEmpty());
    QVERIFY(kalimo::skin::FindProgramPicture("../Image/CloseSound.png").isEmpty());
    QVERIFY(kalimo::skin::FindProgramPicture("").isEmpty());  // the folder is no picture
  }

  void everyShippedPictureIsThere() {
    // The names the program's windows use, in their own spelling.
    for (const char* name : {"pause.png", "play.png", "Stop.png", "CloseSound.png", "closeSound.png", "openSound.png",
                             "MinusSound.png", "AddSound.png", "Setting.png", "Help.png", "ShowOrHideSMW.png",
                             "recorder.png", "addMovie.png", "addgroup.png", "Delete.png", "Clear.png", "up.png",
                             "down.png"}) {
      QVERIFY2(!QImage(kalimo::skin::FindProgramPicture(name)).isNull(), name);
    }
    QCOMPARE(QImage(kalimo::skin::FindProgramFile("image/capturescreenintro.jpg")).size(), QSize(640, 480));
    QCOMPARE(kalimo::skin::LoadSkinBitmap(kalimo::skin::kSkinPicture).size(), QSize(67, 92));
    QCOMPARE(kalimo::skin::LoadSkinBitmap(kalimo::skin::kCollapsedGlyph).size(),
             kalimo::skin::LoadSkinBitmap(kalimo::skin::kExpandedGlyph).size());
    QCOMPARE(kalimo::skin::LoadSkinBitmap(kalimo::skin::kBlankVideoPicture).size(), QSize(32, 32));
    QCOMPARE(kalimo::skin::LoadSkinBitmap(kalimo::skin::kPlayingVideoPicture).size(), QSize(32, 32));
    QVERIFY(!kalimo::skin::LoadSkinBitmap(kalimo::skin::kProgramIcon).isNull());
  }

  void pictureButtonDrawsItsPictureAndShrinksItWhileHovered() {
    ProgramFolder folder;
    QWidget window;
    window.resize(200, 200);
    CButtonST button("静音", &window);
    button.SetShowCaption(false);
    button.setGeometry(0, 0, 30, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The offscreen platform moves no real pointer: the button gets the events a pointer makes.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QVERIFY(!button.IsHovered());
    const QImage empty = button.grab().toImage();
    button.SetPictureName("closeSound.png");  // the file is spelt CloseSound.png
    const QImage drawn = button.grab().toImage();
    QCOMPARE(drawn.pixelColor(15, 15), QColor(Qt::red));
    QCOMPARE(button.PictureRect(), QRect(1, 1, 28, 28));
    // A picture that cannot be loaded draws nothing.
    button.SetPictureName("nothing.png");
    QCOMPARE(button.grab().toImage(), empty);

    button.SetPictureName("CloseSound.png");
    QMouseEvent move(QEvent::MouseMove, QPointF(15, 15), button.mapToGlobal(QPointF(15, 15)), Qt::NoButton,
                     Qt::NoButton, {});
    QApplication::sendEvent(&button, &move);
    QVERIFY(button.IsHovered());
    QCOMPARE(button.PictureRect(), QRect(2, 2, 26, 26));
    const QImage hovered = button.grab().toImage();
    QCOMPARE(hovered.pixelColor(2, 2), QColor(Qt::red));
    QVERIFY(hovered.pixelColor(1, 1) != QColor(Qt::red));
  }

  void standardSetUpOfAPictureButton() {
    const CThemeHelperST ownLook;
    QVERIFY(!ownLook.IsAppThemed());
    QVERIFY(CThemeHelperST(true).IsAppThemed());
    CXPStyleButtonST button("帮助");
    button.SetColor(CButtonST::kColorBackgroundIn, QColor(240, 240, 240));
    button.SetUpPictureButton(&ownLook, "Help.png");
    QCOMPARE(button.PictureName(), QStringLiteral("Help.png"));
    QCOMPARE(button.toolTip(), QStringLiteral("帮助"));
    QCOMPARE(button.accessibleName(), QStringLiteral("帮助"));
    QCOMPARE(button.GetColor(CButtonST::kColorBackgroundIn), QColor(Qt::white));
    // The caption is not drawn: the picture fills the button.
    button.resize(40, 40);
    QCOMPARE(button.PictureRect(), QRect(1, 1, 38, 38));
  }

  void captionIsTooltipAndAccessibleName() {
    CButtonST button("帮助");
    button.SetShowCaption(false);
    button.SetTipText(button.text());
    QCOMPARE(button.toolTip(), QStringLiteral("帮助"));
    QCOMPARE(button.accessibleName(), QStringLiteral("帮助"));
  }

  void doubleClickCountsAsTwoClicks() {
    CButtonST button("播放");
    button.resize(30, 30);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicked(&button, &QPushButton::clicked);
    // What a double click delivers: press, release, double click, release.
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
    QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(15, 15));
    QCOMPARE(clicked.count(), 2);
  }

  void checkBoxModeToggles() {
    CButtonST button("录制视频");
    button.SetCheckBoxMode(true);
    button.resize(30, 30);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCOMPARE(button.GetCheck(), 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(15, 15));
    QCOMPARE(button.GetCheck(), 1);
    QVERIFY(button.hasFocus());
    button.SetCheck(2);  // an indeterminate check shows checked
    QCOMPARE(button.GetCheck(), 1);
    button.SetCheck(0);
    QCOMPARE(button.GetCheck(), 0);
  }

  void tabGeometryWithSecondTabSelected() {
    const FrameRect tabs[] = {{0, 0, 60, 24}, {60, 0, 120, 24}, {120, 0, 180, 24}};
    const auto first = kalimo::skin::PaintTab(tabs[0], 0, 1, -1);
    const auto second = kalimo::skin::PaintTab(tabs[1], 1, 1, -1);
    const auto third = kalimo::skin::PaintTab(tabs[2], 2, 1, 2);
    // The first tab reaches one pixel to the left; the one after the selected tab does not.
    QCOMPARE(first.frame, (FrameRect{-1, 0, 60, 24}));
    QCOMPARE(first.fill, (FrameRect{0, 1, 59, 24}));
    QCOMPARE(first.fillKind, kalimo::skin::TabFill::kNormal);
    QCOMPARE(third.frame, (FrameRect{120, 0, 180, 24}));
    QCOMPARE(third.fillKind, kalimo::skin::TabFill::kHovered);
    // The selected tab: framed one pixel short of the bottom, filled down into the page.
    QCOMPARE(second.frame, (FrameRect{60, 0, 120, 23}));
    QCOMPARE(second.fill, (FrameRect{61, 1, 119, 24}));
    QCOMPARE(second.fillKind, kalimo::skin::TabFill::kSelected);
    for (const auto& paint : {first, second, third}) QCOMPARE(paint.text.Width(), 60);
  }

  void tabStripPaintsTheSelectedTabWhite() {
    CTabCtrlEx strip;
    strip.SetFixedTabWidth(60);
    for (const char* text : {"视频文件", "真实摄像头", "图像"}) strip.addTab(QString::fromUtf8(text));
    strip.setCurrentIndex(1);
    strip.resize(200, CTabCtrlEx::kTabHeight);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QCOMPARE(strip.tabRect(1), QRect(60, 0, 60, 24));
    strip.SetDrawStyle(1);
    const QImage shot = strip.grab().toImage();
    QCOMPARE(shot.pixelColor(62, 3), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(60, 3), QColor(153, 153, 153));
    QCOMPARE(shot.pixelColor(2, 3), QColor(243, 243, 243));
    QCOMPARE(shot.pixelColor(179, 3), QColor(153, 153, 153));  // the third tab's right frame line
    QTest::mouseMove(&strip, QPoint(150, 12));
    QTRY_COMPARE(strip.HoveredTab(), 2);
    QTRY_COMPARE(strip.grab().toImage().pixelColor(140, 3), QColor(204, 204, 204));
  }

  void longTabTextIsCut() {
    CTabCtrlEx strip;
    const QString longText = QString(20, QChar(u'视'));
    strip.addTab(longText);
    strip.addTab(QString(15, QChar(u'视')));
    QCOMPARE(strip.tabRect(0).size(), strip.tabRect(1).size());
  }
};

QTEST_MAIN(SkinControlsTest)
#include "SkinControlsTest.moc"
