// The skinned window frame on the offscreen platform: button places, hit-test codes, hover,
// tooltips and the button actions.
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "windows/skin/CColorTitleDlg.h"

using kalimo::skin::FrameButton;
using kalimo::skin::FrameRect;

class SkinFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qputenv("KALIMO_PROGRAM_DIR", KALIMO_TEST_OUTPUT_DIR); }

  void buttonRectangles_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<unsigned>("boxes");
    QTest::addColumn<int>("minimizeLeft");  // -1: no rectangle
    QTest::addColumn<int>("maximizeLeft");
    const unsigned both = kalimo::skin::kMinimizeBox | kalimo::skin::kMaximizeBox;
    QTest::newRow("close only, 300") << 300 << unsigned(kalimo::skin::kNoBoxes) << -1 << -1;
    QTest::newRow("minimise (main window), 300") << 300 << unsigned(kalimo::skin::kMinimizeBox) << 300 - 38 << -1;
    QTest::newRow("maximise only, 300") << 300 << unsigned(kalimo::skin::kMaximizeBox) << -1 << 300 - 38;
    QTest::newRow("both (playing window), 300") << 300 << both << 300 - 56 << 300 - 38;
    QTest::newRow("both, 640") << 640 << both << 640 - 56 << 640 - 38;
  }
  void buttonRectangles() {
    QFETCH(int, width);
    QFETCH(unsigned, boxes);
    QFETCH(int, minimizeLeft);
    QFETCH(int, maximizeLeft);
    CColorTitleDlg dialog(nullptr, true, boxes);
    dialog.resize(width, 200);
    const auto rects = dialog.ButtonRects();
    QCOMPARE(rects.icon, (FrameRect{9, 4, 25, 20}));
    QCOMPARE(rects.close, (FrameRect{width - 20, 3, width - 4, 19}));
    const auto expected = [](int left) { return left < 0 ? FrameRect{} : FrameRect{left, 3, left + 16, 19}; };
    QCOMPARE(rects.minimize, expected(minimizeLeft));
    QCOMPARE(rects.maximize, expected(maximizeLeft));
    QVERIFY(rects.minimize.IsEmpty() == (minimizeLeft < 0));

    // Raw codes of the buttons, and what the window reports for them: the caption.
    const auto rawHit = [&](int x, int y) {
      return kalimo::skin::HitTestFrame(rects, x, y, width, 200, true);
    };
    QCOMPARE(rawHit(width - 12, 10), kalimo::skin::kHitSystemMenu);
    QCOMPARE(dialog.HitTest(QPoint(width - 12, 10)), kalimo::skin::kHitCaption);
    if (minimizeLeft >= 0) {
      QCOMPARE(rawHit(minimizeLeft + 8, 10), kalimo::skin::kHitMinimizeButton);
      QCOMPARE(dialog.HitTest(QPoint(minimizeLeft + 8, 10)), kalimo::skin::kHitCaption);
    }
    if (maximizeLeft >= 0) QCOMPARE(rawHit(maximizeLeft + 8, 10), kalimo::skin::kHitMaximizeButton);
    // Where a missing box would be, the title bar is plain caption.
    if (minimizeLeft < 0) QCOMPARE(rawHit(width - 56 + 8, 10), kalimo::skin::kHitCaption);
  }

  void hitTestCodes_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<int>("code");
    QTest::newRow("title bar") << QPoint(150, 16) << true << int(kalimo::skin::kHitCaption);
    QTest::newRow("icon") << QPoint(12, 10) << true << int(kalimo::skin::kHitCaption);
    QTest::newRow("client") << QPoint(150, 100) << true << int(kalimo::skin::kHitClient);
    QTest::newRow("left border") << QPoint(2, 100) << true << int(kalimo::skin::kHitLeft);
    QTest::newRow("right border") << QPoint(297, 100) << true << int(kalimo::skin::kHitRight);
    QTest::newRow("bottom border") << QPoint(150, 198) << true << int(kalimo::skin::kHitBottom);
    QTest::newRow("bottom-right corner") << QPoint(298, 198) << true << int(kalimo::skin::kHitBottomRight);
    QTest::newRow("top edge") << QPoint(150, 1) << true << int(kalimo::skin::kHitTop);
    QTest::newRow("top edge over the close button") << QPoint(285, 3) << true << int(kalimo::skin::kHitCaption);
    QTest::newRow("fixed: left border") << QPoint(2, 100) << false << int(kalimo::skin::kHitBorder);
    QTest::newRow("fixed: top edge") << QPoint(150, 1) << false << int(kalimo::skin::kHitCaption);
    QTest::newRow("outside") << QPoint(300, 100) << true << int(kalimo::skin::kHitNowhere);
  }
  void hitTestCodes() {
    QFETCH(QPoint, point);
    QFETCH(bool, resizable);
    QFETCH(int, code);
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox | kalimo::skin::kMaximizeBox);
    if (resizable) {
      dialog.resize(300, 200);
    } else {
      dialog.setFixedSize(300, 200);
    }
    QCOMPARE(int(dialog.HitTest(point)), code);
  }

  void hoverShowsTooltipAfterDelayAndLeavingClearsIt() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy hovered(&dialog, &CColorTitleDlg::HoveredButtonChanged);
    QTest::mouseMove(&dialog, QPoint(300 - 12, 10));
    QTRY_COMPARE(dialog.HoveredButton(), FrameButton::kClose);
    QVERIFY(!QToolTip::isVisible());  // not before the delay
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 5000);
    QCOMPARE(QToolTip::text(), QStringLiteral("关闭"));
    QTest::mouseMove(&dialog, QPoint(300 - 38 + 8, 10));
    QTRY_COMPARE(dialog.HoveredButton(), FrameButton::kMinimize);
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible() && QToolTip::text() == QStringLiteral("最小化"), 5000);
    QTest::mouseMove(&dialog, QPoint(150, 100));
    QTRY_COMPARE(dialog.HoveredButton(), FrameButton::kNone);
    QCOMPARE(hovered.count(), 3);
  }

  void maximiseButtonRestoresAndRenamesItsTooltip() {
    CColorTitleDlg dialog(nullptr, false, kalimo::skin::kMinimizeBox | kalimo::skin::kMaximizeBox);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.ButtonToolTip(FrameButton::kMaximize), QStringLiteral("最大化"));
    const auto maximize = dialog.ButtonRects().maximize;
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(maximize.left + 8, 10));
    QTRY_VERIFY(dialog.isMaximized());
    QCOMPARE(dialog.ButtonToolTip(FrameButton::kMaximize), QStringLiteral("向下还原"));
    // The buttons follow the new width.
    QCOMPARE(dialog.ButtonRects().close.left, dialog.width() - 20);
    const auto restore = dialog.ButtonRects().maximize;
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(restore.left + 8, 10));
    QTRY_VERIFY(!dialog.isMaximized());
    QCOMPARE(dialog.ButtonToolTip(FrameButton::kMaximize), QStringLiteral("最大化"));
  }

  void releasePointAloneDecidesTheAction() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Pressed on close, released on the caption: nothing happens.
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(300 - 12, 10));
    QVERIFY(dialog.isVisible());
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(150, 40));
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isMinimized());
    // Minimise, then close.
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(300 - 38 + 8, 10));
    QTRY_VERIFY(dialog.isMinimized());
    dialog.showNormal();
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(300 - 12, 10));
    QTRY_VERIFY(!dialog.isVisible());
  }

  void windowWithoutMinimiseBoxIgnoresMinimise() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kNoBoxes);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.PressFrameButton(FrameButton::kMinimize);
    dialog.PressFrameButton(FrameButton::kMaximize);
    QVERIFY(!dialog.isMinimized());
    QVERIFY(!dialog.isMaximized());
  }

  void captionDragMovesTheWindowItselfWithoutWindowSystemMove() {
    // The offscreen platform offers no system move, like X without a window manager.
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.setGeometry(100, 100, 300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(150, 16));
    QMouseEvent move(QEvent::MouseMove, QPointF(190, 46), dialog.mapToGlobal(QPointF(190, 46)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&dialog, &move);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(190, 46));
    QCOMPARE(dialog.pos(), start + QPoint(40, 30));
  }

  void cornerDragResizesTheWindowItselfWithoutWindowSystemResize() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.setGeometry(100, 100, 300, 200);
    dialog.setMinimumSize(200, 150);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(298, 198));
    const auto moveTo = [&dialog](QPoint to) {
      QMouseEvent move(QEvent::MouseMove, QPointF(to), dialog.mapToGlobal(QPointF(to)), Qt::NoButton,
                       Qt::LeftButton, {});
      QApplication::sendEvent(&dialog, &move);
    };
    const QPoint pressedGlobal = dialog.mapToGlobal(QPoint(298, 198));
    moveTo(dialog.mapFromGlobal(pressedGlobal + QPoint(40, 20)));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(338, 218));
    QCOMPARE(dialog.size(), QSize(340, 220));
    QCOMPARE(dialog.pos(), QPoint(100, 100));
    QCOMPARE(dialog.ButtonRects().close.left, 340 - 20);
  }

  void systemMenuEntriesFollowTheBoxes() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.setFixedSize(300, 200);
    QMenu* menu = dialog.SystemMenu();
    emit menu->aboutToShow();
    QStringList enabled;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator() && action->isEnabled()) enabled << action->text();
    }
    QCOMPARE(enabled, (QStringList{"移动(&M)", "最小化(&N)", "关闭(&C)"}));
  }

  void deactivationHighlightsTheButtonsAndDarkensTheCaption() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.setWindowTitle("Kalimo");
    dialog.setGeometry(0, 0, 300, 200);
    CColorTitleDlg other(nullptr, false, kalimo::skin::kNoBoxes);
    other.setGeometry(400, 0, 200, 100);
    dialog.show();
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QApplication::setActiveWindow(&dialog);
    QTRY_VERIFY(dialog.IsActiveFrame());
    // Inside the close button's cell, below its glyph: the title colour while active...
    const QPoint cell(300 - 20 + 8, 3 + 14);
    const QColor activeCell = dialog.grab().toImage().pixelColor(cell);
    QApplication::setActiveWindow(&other);
    QTRY_VERIFY(!dialog.IsActiveFrame());
    // ...the highlighted (red) close tile while inactive.
    const QColor inactiveCell = dialog.grab().toImage().pixelColor(cell);
    QVERIFY2(inactiveCell.red() > 180 && inactiveCell.blue() < 100, qPrintable(inactiveCell.name()));
    QVERIFY2(activeCell.blue() > 180, qPrintable(activeCell.name()));
  }

  void iconOpensTheSystemMenuWhoseCloseEntryCloses() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(15, 12));
    QTRY_VERIFY(dialog.SystemMenu()->isVisible());
    dialog.SystemMenu()->hide();
    QTest::mouseClick(&dialog, Qt::RightButton, {}, QPoint(150, 16));  // on the title bar too
    QTRY_VERIFY(dialog.SystemMenu()->isVisible());
    QAction* close = dialog.SystemMenu()->actions().last();
    QCOMPARE(close->text(), QStringLiteral("关闭(&C)"));
    dialog.SystemMenu()->hide();
    close->trigger();
    QTRY_VERIFY(!dialog.isVisible());
  }

  void backgroundBrushAndClientArea() {
    CColorTitleDlg dialog(nullptr, true, kalimo::skin::kMinimizeBox);
    dialog.resize(300, 200);
    QCOMPARE(CColorTitleDlg::BackgroundBrush().color(), QColor(247, 255, 255));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.ClientArea()->geometry(), QRect(4, 32, 292, 164));
    const QImage shot = dialog.grab().toImage();
    QCOMPARE(shot.pixelColor(150, 100), QColor(247, 255, 255));
    QCOMPARE(shot.pixelColor(150, 0), QColor(118, 141, 155));  // outer frame line
    QCOMPARE(shot.pixelColor(150, 1), QColor(151, 199, 229));  // inner frame line
  }
};

QTEST_MAIN(SkinFrameTest)
#include "SkinFrameTest.moc"
