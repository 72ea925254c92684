// The main window on the offscreen platform, where there is no tray: its layout rules, the tab
// pairs, the playing window's button, and how it ends. (With a tray: main_window_test.py.)
#include <QSlider>
#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QtTest>

#include "shell/mainwindow/CMirandelDlg.h"
#include "shell/mainwindow/MainWindowGeometry.h"
#include "tests/shell/ShellTestSupport.h"
#include "windows/skin/CTabCtrlEx.h"
#include "windows/skin/CXPStyleButtonST.h"

using namespace kalimo;

namespace {
// Answers every question with `answer` and keeps the texts asked.
class QuestionAnswerer {
 public:
  explicit QuestionAnswerer(MessageAnswer answer) {
    previous_ = SetMessagePresenter([this, answer](const UserMessage& message) {
      asked.push_back(message);
      return answer;
    });
  }
  ~QuestionAnswerer() { SetMessagePresenter(previous_); }
  std::vector<UserMessage> asked;

 private:
  MessagePresenter previous_;
};

CXPStyleButtonST* Button(const CMirandelDlg& dialog, const QString& tip) {
  for (auto* button : dialog.findChildren<CXPStyleButtonST*>()) {
    if (button->toolTip() == tip) return button;
  }
  return nullptr;
}
}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void touchingTheRightEdge_data() {
    QTest::addColumn<QRect>("playing");
    QTest::addColumn<bool>("touches");
    const QRect main(100, 50, 275, 577);  // right edge x = 374, last row y = 626
    QTest::newRow("docked") << DockedPlayingWindow(main) << true;
    QTest::newRow("one pixel away") << QRect(376, 50, 420, 577) << false;
    QTest::newRow("overlapping the main window") << QRect(300, 80, 420, 577) << true;
    QTest::newRow("only its last row beside the main window") << QRect(375, -400, 420, 1000) << true;
    QTest::newRow("its top row below the main window") << QRect(375, 626, 420, 300) << false;
    QTest::newRow("its top on the main window's last row") << QRect(375, 625, 420, 300) << true;
    QTest::newRow("left of the main window") << QRect(0, 50, 101, 577) << false;
  }

  void touchingTheRightEdge() {
    QFETCH(QRect, playing);
    QFETCH(bool, touches);
    QCOMPARE(TouchesRightEdge(QRect(100, 50, 275, 577), playing), touches);
  }

  void placesTheWindowsAndThePanel() {
    QCOMPARE(DockedPlayingWindow(QRect(164, 95, 275, 577)), QRect(439, 95, 420, 577));
    QCOMPARE(CentredMainWindowPosition(QRect(0, 0, 1024, 768), QSize(275, 577)), QPoint(164, 95));
    QCOMPARE(CentredMainWindowPosition(QRect(1024, 0, 1280, 1024), QSize(275, 577)), QPoint(1024 + 292, 223));
    QCOMPARE(ResourcePanelRect(QSize(267, 460)), QRect(2, 40, 265, 420));
  }

  void tabsSwitchPairs() {
    test::ShellFolders folders;
    CMirandelDlg dialog;
    CTabCtrlEx* tabs = dialog.Tabs();
    QCOMPARE(tabs->count(), 4);
    const QStringList texts = {"视频文件", "真实摄像头", "图像", "捕获屏幕"};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(tabs->tabText(i), texts[i]);
      QCOMPARE(tabs->tabRect(i).height(), 32);
      QVERIFY(tabs->tabRect(i).width() >= 50);
      QCOMPARE(tabs->IsHighlighted(i), i == 2);
    }
    QCOMPARE(tabs->DrawStyle(), 1);
    QCOMPARE(dialog.CurrentTab(), 0);
    QCOMPARE(dialog.PlayingWindow()->windowTitle(), QString("视频预览区"));
    QCOMPARE(dialog.PlayingWindow()->parentWidget(), &dialog);
    QVERIFY(dialog.PlayingWindow()->isWindow());
    QCOMPARE(dialog.ResourcePanel()->geometry(), ResourcePanelRect(dialog.ResourcePanel()->parentWidget()->size()));

    dialog.show();
    QTRY_VERIFY(dialog.PlayingWindow()->isVisible());
    QCOMPARE(dialog.PlayingWindow()->frameGeometry(), DockedPlayingWindow(dialog.frameGeometry()));

    const QStringList captions = {"视频预览区", "预览真实摄像头", "效果区", "效果区"};
    for (const int tab : {1, 2, 3, 0}) {
      QPointer<QWidget> oldPanel = dialog.ResourcePanel();
      QPointer<CColorTitleDlg> oldWindow = dialog.PlayingWindow();
      tabs->setCurrentIndex(tab);
      QVERIFY(oldPanel.isNull());
      QVERIFY(oldWindow.isNull());
      QCOMPARE(dialog.CurrentTab(), tab);
      QCOMPARE(dialog.PlayingWindow()->windowTitle(), captions[tab]);
      QVERIFY(dialog.PlayingWindow()->isVisible());
      QCOMPARE(dialog.PlayingWindow()->frameGeometry(), DockedPlayingWindow(dialog.frameGeometry()));
    }
    QPointer<CColorTitleDlg> current = dialog.PlayingWindow();
    tabs->setCurrentIndex(0);  // the current tab: nothing restarts
    QCOMPARE(dialog.PlayingWindow(), current.data());
  }

  // The tip names what the next press does, and showing the window again shows its control bar.
  void thePlayingWindowButtonNamesItsNextAction() {
    test::ShellFolders folders;
    CMirandelDlg dialog;
    dialog.show();
    QTRY_VERIFY(dialog.PlayingWindow()->isVisible());
    CXPStyleButtonST* button = Button(dialog, "隐藏视频图像窗口");
    QVERIFY(button);
    button->click();
    QVERIFY(!dialog.PlayingWindow()->isVisible());
    QCOMPARE(button->toolTip(), QString("显示视频图像窗口"));
    button->click();
    QVERIFY(dialog.PlayingWindow()->isVisible());
    QCOMPARE(button->toolTip(), QString("隐藏视频图像窗口"));
    // Closed through its own frame, then shown by the button: the window comes back whole.
    dialog.PlayingWindow()->PressFrameButton(skin::FrameButton::kClose);
    QTRY_VERIFY(!dialog.PlayingWindow()->isVisible());
    QCOMPARE(button->toolTip(), QString("显示视频图像窗口"));
    button->click();
    QVERIFY(dialog.PlayingWindow()->isVisible());
    const auto controls = dialog.PlayingWindow()->findChildren<QSlider*>();
    QVERIFY(!controls.isEmpty());
    for (QSlider* control : controls) QVERIFY2(control->isVisible(), qPrintable(control->objectName()));
    for (const char* caption : {"录制视频", "参数设置", "帮助"}) QVERIFY2(Button(dialog, caption), caption);
  }

  // Without a tray, minimising must leave a way back, and closing asks before the program ends.
  void withoutATrayItMinimisesAndClosingAsks() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    test::ShellFolders folders;
    CMirandelDlg dialog;
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QTRY_VERIFY(dialog.PlayingWindow()->isVisible());
    QPointer<QWidget> panel = dialog.ResourcePanel();
    QPointer<CColorTitleDlg> playing = dialog.PlayingWindow();

    dialog.PressFrameButton(skin::FrameButton::kMinimize);
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY(dialog.isMinimized());
    dialog.showNormal();

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    {
      QuestionAnswerer cancel(MessageAnswer::Cancel);
      dialog.PressFrameButton(skin::FrameButton::kClose);
      QCOMPARE(cancel.asked.size(), std::size_t{1});
      QCOMPARE(cancel.asked[0].text, std::string("是否确实要退出系统?"));
      QCOMPARE(cancel.asked[0].caption, std::string("询问"));
      QVERIFY(cancel.asked[0].offerCancel);
    }
    QVERIFY(dialog.isVisible() && playing && panel);
    QCOMPARE(finished.count(), 0);
    {
      QuestionAnswerer ok(MessageAnswer::Ok);
      dialog.PressFrameButton(skin::FrameButton::kClose);
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    QVERIFY(playing.isNull() && panel.isNull());
    QVERIFY(!dialog.PlayingWindow() && !dialog.ResourcePanel());
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
