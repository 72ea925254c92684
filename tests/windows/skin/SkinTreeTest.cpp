// The video group tree on the offscreen platform: rows, clicks, scrolling and glyphs.
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "windows/skin/CYYTreeCtrl.h"
#include "windows/skin/SkinResources.h"

namespace {

constexpr int kVideo = 1;  // item data of a video row

struct GroupOfThree {
  CYYTreeCtrl tree;
  CYYTreeCtrl::Item group;
  GroupOfThree() {
    group = tree.InsertItemWithPicture("我的视频分组", nullptr, kalimo::skin::kExpandedGlyph);
    for (const char* name : {"a.mp4", "b.mp4", "c.mp4"}) {
      tree.InsertItemWithPicture(name, group, kalimo::skin::kBlankVideoPicture, kVideo);
    }
    tree.resize(200, 100);
    tree.show();
  }
};

}  // namespace

class SkinTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR); }

  void clickOpensGroupAndScrollRangeFollows() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QCOMPARE(tree.Items().Rows().size(), size_t(1));
    QCOMPARE(tree.Items().TotalHeight(), 30);
    const int client = tree.viewport()->height();
    QCOMPARE(tree.ScrollRangeMaximum(), client);  // max(30, client)
    QCOMPARE(tree.verticalScrollBar()->maximum(), 0);

    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 10));
    QCOMPARE(tree.GetSelectedItem(), fixture.group);
    QVERIFY(fixture.group->expanded);
    QCOMPARE(tree.Items().Rows().size(), size_t(4));
    QCOMPARE(tree.Items().TotalHeight(), 150);
    QCOMPARE(tree.ScrollRangeMaximum(), std::max(150, client));
    QCOMPARE(tree.verticalScrollBar()->maximum(), 150 - client);
    QCOMPARE(tree.verticalScrollBar()->pageStep(), client);
    QCOMPARE(tree.RowRect(fixture.group->children[1].get()), QRect(0, 70, tree.viewport()->width(), 40));

    // A click on a video row selects it and leaves its group open.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 35));
    QCOMPARE(tree.GetSelectedItem(), fixture.group->children[0].get());
    QCOMPARE(tree.Items().TotalHeight(), 150);
  }

  void clicksBelowTheLastRow() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy rightClicks(&tree, &CYYTreeCtrl::ItemRightClicked);
    tree.SelectItem(fixture.group);
    // Left click below the last row: nothing changes.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 80));
    QCOMPARE(tree.GetSelectedItem(), fixture.group);
    QVERIFY(!fixture.group->expanded);
    // Right click there: the selection is cleared and the owner still hears of it, after the click.
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, QPoint(50, 80));
    QCOMPARE(tree.GetSelectedItem(), nullptr);
    QCOMPARE(rightClicks.count(), 0);
    QTRY_COMPARE(rightClicks.count(), 1);
    // Right click on a row selects it without opening it.
    QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, QPoint(50, 10));
    QCOMPARE(tree.GetSelectedItem(), fixture.group);
    QVERIFY(!fixture.group->expanded);
    QTRY_COMPARE(rightClicks.count(), 2);
  }

  void doubleClickSignalsPlay() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    tree.Expand(fixture.group, true);
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy doubleClicks(&tree, &CYYTreeCtrl::ItemDoubleClicked);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 75));
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 75));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 75));
    QCOMPARE(doubleClicks.count(), 1);
    QCOMPARE(tree.GetSelectedItem(), fixture.group->children[1].get());
  }

  void wheelAndLinesScrollFiftyPixels() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    tree.Expand(fixture.group, true);
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QWheelEvent down(QPointF(50, 50), tree.viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120), Qt::NoButton,
                     {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(tree.viewport(), &down);
    QCOMPARE(tree.ScrollPosition(), 50);
    // Scrolled by 50, the point 10 pixels into the client lies in the second video (rows 70–110).
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(50, 25));
    QCOMPARE(tree.GetSelectedItem(), fixture.group->children[1].get());
    tree.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(tree.ScrollPosition(), 0);
  }

  void deletingTheSelectedItemForgetsIt() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    tree.Expand(fixture.group, true);
    CYYTreeCtrl::Item video = fixture.group->children[2].get();
    tree.SelectItem(video);
    tree.DeleteTreeItem(fixture.group);
    QCOMPARE(tree.GetSelectedItem(), nullptr);
    QCOMPARE(tree.Items().TotalHeight(), 0);
    QVERIFY(tree.InsertItemWithPicture("x", video, 134, kVideo) == nullptr);  // a deleted parent is refused
  }

  void glyphsNeedTwoPicturesOfOneSize_data() {
    QTest::addColumn<QSize>("collapsed");
    QTest::addColumn<QSize>("expanded");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("same size") << QSize(16, 16) << QSize(16, 16) << true;
    QTest::newRow("different sizes") << QSize(16, 16) << QSize(18, 16) << false;
    QTest::newRow("expanded missing") << QSize(16, 16) << QSize() << false;
  }
  void glyphsNeedTwoPicturesOfOneSize() {
    QFETCH(QSize, collapsed);
    QFETCH(QSize, expanded);
    QFETCH(bool, loaded);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Bitmap");
    const auto save = [&dir](QSize size, int number) {
      if (size.isEmpty()) return;
      QImage image(size, QImage::Format_RGB32);
      image.fill(Qt::magenta);
      QVERIFY(image.save(dir.filePath(QStringLiteral("Bitmap/%1.png").arg(number))));
    };
    save(collapsed, kalimo::skin::kCollapsedGlyph);
    save(expanded, kalimo::skin::kExpandedGlyph);
    qputenv("KALIMO_PROGRAM_DIR", dir.path().toUtf8());
    CYYTreeCtrl tree;
    tree.LoadGlyphs();
    qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR);
    QCOMPARE(tree.HasGlyphs(), loaded);
  }

  void rowsArePaintedWithPicturesAndSeamlessText() {
    GroupOfThree fixture;
    CYYTreeCtrl& tree = fixture.tree;
    tree.LoadGlyphs();
    tree.Expand(fixture.group, true);
    CYYTreeCtrl::Item playing = fixture.group->children[0].get();
    tree.SetItemPicture(playing, kalimo::skin::kPlayingVideoPicture);
    CYYTreeCtrl::Item seamless = fixture.group->children[2].get();
    tree.SetSeamlessQuery([seamless](CYYTreeCtrl::Item item) { return item == seamless; });
    tree.resize(240, 200);
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    const QImage shot = tree.viewport()->grab().toImage();
    // The play sign's blue disc at the middle of the 30 × 30 picture of the first video row.
    const QColor disc = shot.pixelColor(5 + 15, 30 + 5 + 8);
    QVERIFY2(disc.blue() > 150 && disc.red() < 100, qPrintable(disc.name()));
    // The group's expanded glyph at the left edge of its row.
    QCOMPARE(shot.pixelColor(8, 14), QColor(80, 88, 100));
    // "衔接视频" darkens the last 60 pixels of the seamless row only.
    const auto darkPixels = [&shot](int top, int left, int right) {
      int dark = 0;
      for (int y = top; y < top + 40; ++y) {
        for (int x = left; x < right; ++x) dark += shot.pixelColor(x, y).lightness() < 128;
      }
      return dark;
    };
    const int right = tree.viewport()->width();
    QVERIFY(darkPixels(110, right - 60, right) > 20);
    QCOMPARE(darkPixels(70, right - 60, right), 0);
    // A selected video: flat selection colour, and its blank picture left out.
    tree.SelectItem(fixture.group->children[1].get());
    QCOMPARE(tree.viewport()->grab().toImage().pixelColor(30, 72), QColor(252, 233, 160));
  }
};

QTEST_MAIN(SkinTreeTest)
#include "SkinTreeTest.moc"
