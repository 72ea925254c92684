// The bookmark editor and the capture dialog over real players, on the offscreen platform, with a
// generated clip whose red level says which second of it shows (3 levels a second).
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStringEncoder>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <cstdlib>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "library/BookmarkStore.h"
#include "tests/support/TestSection.h"
#include "tests/windows/video/PanelTestSupport.h"
#include "windows/video/CDlgOfAddAction.h"
#include "windows/video/CDlgOfControlAction.h"
#include "windows/video/CMovieResourceDlg.h"
#include "windows/video/CPlayVideoControlDlg.h"
#include "windows/video/CWindowPlayingVideo.h"

namespace {

constexpr int kRedPerSecond = 3;

// Answers every modal dialog that appears while it lives (unlike AnswerNextModal, which keeps
// polling until one appears); records each message box's text.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == handled_) return;
      handled_ = modal;
      if (auto* box = qobject_cast<QMessageBox*>(modal)) texts.append(box->text());
      answer_(modal);
    });
    poll_.start(10);
  }
  QStringList texts;

 private:
  std::function<void(QWidget*)> answer_;
  QTimer poll_;
  QPointer<QWidget> handled_;
};

void Press(QMessageBox::StandardButton which, QWidget* modal) {
  if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(which)->click();
}

QPushButton* ButtonOf(QWidget* dialog, const char* id) { return dialog->findChild<QPushButton*>(id); }

// With KALIMO_SCREENSHOT_DIR set (a run under Xvfb), the dialog's picture for the documentation.
void SaveScreenshot(QWidget* dialog, const QString& name) {
  const QString folder = qEnvironmentVariable("KALIMO_SCREENSHOT_DIR");
  if (folder.isEmpty()) return;
  QTest::qWait(500);
  QVERIFY(dialog->grab().save(folder + "/" + name));
}

std::int64_t Seconds(const QString& time) {
  const auto parsed = kalimo::ParseBookmarkTime(time.toStdString());
  return parsed ? parsed->TotalSeconds() : -1;
}

}  // namespace

class BookmarkDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder;
  QString red, seconds;

  // The second of the clip the camera shows now, from the frame section; -1 for none.
  static int ShownSecond(const kalimo::test::TestSection& section) {
    const auto bytes = section.ReadAll();
    if (bytes.size() < static_cast<std::size_t>(kalimo::kSectionObjectSize)) return -1;
    const kalimo::FrameSectionHeader header = kalimo::LoadSectionHeader(bytes.data());
    if (header.width != 64 || header.height != 48) return -1;
    const unsigned char* pixel = bytes.data() + kalimo::kSectionHeaderSize + 24 * kalimo::DibStride(64) + 32 * 3;
    if (pixel[0] > 40 || pixel[1] > 40) return -1;  // not the clip's pure red
    return (pixel[2] + kRedPerSecond / 2) / kRedPerSecond;
  }

 private slots:
  void initTestCase() {
    qputenv("GST_REGISTRY", (folder.path() + "/gst-registry.bin").toUtf8());
    qputenv("KALIMO_PROGRAM_DIR", folder.path().toUtf8());
    red = kalimo::test::MakeClip(folder.filePath("red.avi"), "red");
    seconds = folder.filePath("seconds.avi");
    const QString command = QString("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=black:size=64x48:rate=5:duration=80 "
                                    "-vf format=rgb24,geq=r='%1*floor(T)':g=0:b=0 -c:v mjpeg -q:v 2 -pix_fmt yuvj420p '%2'")
                                .arg(kRedPerSecond)
                                .arg(seconds);
    QCOMPARE(std::system(command.toUtf8().constData()), 0);
    QVERIFY(!red.isEmpty());
  }
  void cleanup() { kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle()); }

  void captureStartsAtTheGivenTimeAndOkTakesTheLastTick() {
    CDlgOfAddAction dialog("开场", "00:01:10");
    dialog.SetVideoPath(seconds.toStdString());
    dialog.show();
    QVERIFY(dialog.IsPreviewLoaded());
    QCOMPARE(dialog.TickInterval(), CDlgOfAddAction::kPlayingTick);
    QCOMPARE(dialog.TimeEdit()->text(), QString("00:01:10"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Slider()->maximum() > 79000, 10000);
    QVERIFY(dialog.Slider()->value() >= 70000 && dialog.Slider()->value() < 78000);
    QTRY_VERIFY_WITH_TIMEOUT(Seconds(dialog.TimeEdit()->text()) >= 71, 10000);
    SaveScreenshot(&dialog, "bookmark-capture-dialog.png");

    // Names that would not read back are refused and the dialog stays as it was.
    const QString shown = dialog.TimeEdit()->text();
    struct Refusal {
      QString name, message;
    };
    const QList<Refusal> refusals = {{"开-场", "动作名称不能包含-字符，谢谢"},
                                     {"开\\场", "动作名称不能包含\\字符，谢谢"},
                                     {"", "动作名称不能为空"}};
    for (const Refusal& refusal : refusals) {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      dialog.NameBox()->setEditText(refusal.name);
      ButtonOf(&dialog, "1002")->click();
      QCOMPARE(answerer.texts, QStringList{refusal.message});
      QVERIFY(dialog.isVisible());
    }
    dialog.NameBox()->setEditText("挥手");
    const QString lastTick = dialog.TimeEdit()->text();
    ButtonOf(&dialog, "1002")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Name(), QString("挥手"));
    QCOMPARE(dialog.TimeText(), lastTick);
    QVERIFY(Seconds(lastTick) >= Seconds(shown));
  }

  void fixedTimeStepsBySecondsAndResumesOnlyWhenAsked() {
    CDlgOfAddAction dialog{QString(), QString()};
    dialog.SetVideoPath(seconds.toStdString());
    dialog.show();
    QCOMPARE(dialog.TimeEdit()->text(), QString("00:00:00"));
    // Dragging the slider to 60 s seeks there on release; the tick is faster from then on.
    QTRY_VERIFY_WITH_TIMEOUT(dialog.Slider()->maximum() > 79000, 10000);  // the first tick
    const QPoint middle = dialog.Slider()->rect().center();
    QTest::mousePress(dialog.Slider(), Qt::LeftButton, {}, middle);
    QCOMPARE(dialog.TickInterval(), 0);
    dialog.Slider()->setValue(60000);
    QTest::mouseRelease(dialog.Slider(), Qt::LeftButton, {}, middle);
    QCOMPARE(dialog.TickInterval(), CDlgOfAddAction::kDraggedTick);
    QTRY_VERIFY_WITH_TIMEOUT(Seconds(dialog.TimeEdit()->text()) >= 60, 10000);
    QVERIFY(Seconds(dialog.TimeEdit()->text()) < 70);
    dialog.FixButton()->click();
    QVERIFY(dialog.IsPositionFixed());
    QCOMPARE(dialog.FixButton()->text(), QString("继续播放"));
    QTest::qWait(300);  // ticks show where the pause took hold
    const std::int64_t fixed = Seconds(dialog.TimeEdit()->text());
    QVERIFY(fixed >= 60 && fixed < 70);
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      QTest::mouseClick(dialog.Slider(), Qt::LeftButton, {}, QPoint(2, dialog.Slider()->height() / 2));
      QTRY_COMPARE(answerer.texts, QStringList{"请点击继续播放按钮"});
    }
    QTest::qWait(300);  // the paused position stays
    QCOMPARE(Seconds(dialog.TimeEdit()->text()), fixed);
    ButtonOf(&dialog, "1054")->click();  // "^"
    QTRY_COMPARE_WITH_TIMEOUT(Seconds(dialog.TimeEdit()->text()), fixed + 1, 10000);
    // Each step starts from the time shown, which follows at the next tick.
    ButtonOf(&dialog, "1009")->click();  // "v"
    QTRY_COMPARE_WITH_TIMEOUT(Seconds(dialog.TimeEdit()->text()), fixed, 10000);
    ButtonOf(&dialog, "1009")->click();
    QTRY_COMPARE_WITH_TIMEOUT(Seconds(dialog.TimeEdit()->text()), fixed - 1, 10000);
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Cancel, modal); });
      dialog.FixButton()->click();
      QCOMPARE(answerer.texts, QStringList{"继续播放需要您重新定位时间，是否继续播放？"});
      QVERIFY(dialog.IsPositionFixed());
    }
    ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
    dialog.FixButton()->click();
    QVERIFY(!dialog.IsPositionFixed());
    QCOMPARE(dialog.FixButton()->text(), QString("定位在此时间"));
  }

  void captureWithoutAVideoKeepsTheNameAndTime() {
    CDlgOfAddAction dialog("旧名", "1:2:3");
    dialog.SetVideoPath(folder.filePath("gone.avi").toStdString());
    dialog.show();
    QVERIFY(!dialog.IsPreviewLoaded());
    QCOMPARE(dialog.TickInterval(), 0);
    QCOMPARE(dialog.TimeEdit()->text(), QString("01:02:03"));
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      dialog.FixButton()->click();
      QCOMPARE(answerer.texts, QStringList{"定位失败"});
    }
    ButtonOf(&dialog, "1002")->click();
    QCOMPARE(dialog.Name(), QString("旧名"));
    QCOMPARE(dialog.TimeText(), QString("01:02:03"));
  }

  void editorImportsTriggersExportsAndSaves() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    CMovieResourceDlg panel(&window);
    panel.SetFileChooser([&](QWidget*) { return QStringList{red, seconds}; });
    panel.AddVideos();  // red starts
    const std::string group = panel.Sequencer().CurrentGroupName();
    QCOMPARE(panel.Sequencer().CurrentIndex(), 0);

    CDlgOfControlAction editor(group, panel.Groups(), panel.Sequencer(), panel.VideoWindow(), &panel);
    editor.show();
    QCOMPARE(editor.Videos()->count(), 2);
    QCOMPARE(editor.Videos()->currentIndex(), 0);  // the playing video
    editor.Videos()->setCurrentIndex(1);
    QCOMPARE(editor.Rows()->rowCount(), 0);

    // Import replaces the rows.
    QFile import(folder.filePath("import.txt"));
    QVERIFY(import.open(QIODevice::WriteOnly));
    import.write(QStringEncoder("GB18030")(QString("开场-00:00:05\\挥手-00:00:40")));
    import.close();
    QString chosen = import.fileName();
    editor.SetPathChooser([&](QWidget*, bool) { return chosen; });
    editor.ImportBookmarks();
    QCOMPARE(editor.Rows()->rowCount(), 2);
    QCOMPARE(editor.Rows()->item(1, 0)->text(), QString("挥手"));
    QVERIFY(editor.IsModified());

    // Another video plays: the question first; Cancel changes nothing.
    editor.Rows()->selectRow(1);
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Cancel, modal); });
      editor.TriggerSelectedBookmark();
      QCOMPARE(answerer.texts, QStringList{"您要触发动作的自拍录像不在播放状态，请问是否要播放它并触发该动作？"});
    }
    QCOMPARE(panel.Sequencer().CurrentIndex(), 0);
    QCOMPARE(window.Bar()->StatusText(), QString("现在正在播放的视频是：red.avi"));
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      editor.TriggerSelectedBookmark();
      QCOMPARE(answerer.texts.size(), 1);
    }
    QCOMPARE(window.Bar()->StatusText(), QString("现在正在播放的视频是：seconds.avi"));
    QTRY_VERIFY_WITH_TIMEOUT(ShownSecond(section) >= 40, 10000);
    QVERIFY2(ShownSecond(section) < 48, qPrintable(QString::number(ShownSecond(section))));
    SaveScreenshot(&editor, "bookmark-editor.png");
    // The playing video: no question.
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Cancel, modal); });
      editor.Rows()->selectRow(0);
      editor.TriggerSelectedBookmark();
      QVERIFY(answerer.texts.isEmpty());
      QTRY_VERIFY_WITH_TIMEOUT(ShownSecond(section) >= 5 && ShownSecond(section) < 12, 10000);
    }

    // Export: "out" becomes out.txt; a second export never replaces it.
    chosen = folder.filePath("out");
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      editor.ExportBookmarks();
      QVERIFY(answerer.texts.isEmpty());
      editor.ExportBookmarks();
      QCOMPARE(answerer.texts, QStringList{"导出失败，请重试"});
    }
    QFile exported(folder.filePath("out.txt"));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), QStringEncoder("GB18030")(QString("开场-00:00:05\\挥手-00:00:40")) + QByteArray(1, '\0'));

    // Changed: leaving without saving asks; Cancel stays.
    {
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Cancel, modal); });
      ButtonOf(&editor, "1002")->click();
      QCOMPARE(answerer.texts, QStringList{"点击退出会不保存刚添加的动作信息，是否退出窗口？"});
      QVERIFY(editor.isVisible());
    }
    ButtonOf(&editor, "1001")->click();
    QVERIFY(!editor.isVisible());
    QFile saved(folder.filePath("actionAndMovie.dat"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QStringDecoder("GB18030")(saved.readAll()),
             QString::fromStdString(group) + "&" + seconds + "\r\n开场-00:00:05\\挥手-00:00:40");
  }

  void editorAddsThroughTheCaptureDialogAndLeavesUnchangedWithoutAQuestion() {
    kalimo::test::TestSection section;
    QFile::remove(folder.filePath("actionAndMovie.dat"));
    CWindowPlayingVideo window(nullptr);
    window.show();
    CMovieResourceDlg panel(&window);
    panel.SetFileChooser([&](QWidget*) { return QStringList{seconds}; });
    panel.AddVideos();
    const std::string group = panel.Sequencer().CurrentGroupName();
    {
      // The panel's menu entry on a video opens the editor for its group.
      QString opened;
      ModalAnswerer answerer([&](QWidget* modal) {
        if (auto* editor = qobject_cast<CDlgOfControlAction*>(modal)) {
          opened = editor->windowTitle() + " " + editor->Videos()->currentText();
          ButtonOf(editor, "1002")->click();
        }
      });
      panel.Tree()->SelectItem(panel.Tree()->Items().Roots()[0]->children[0].get());
      std::unique_ptr<QMenu> menu(panel.BuildContextMenu());
      menu->findChild<QAction*>(QString::number(CMovieResourceDlg::kBookmarks))->trigger();
      QCOMPARE(opened, QString("视频书签编辑界面 seconds.avi"));
    }
    {
      CDlgOfControlAction editor(group, panel.Groups(), panel.Sequencer(), panel.VideoWindow(), &panel);
      editor.show();
      ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
      ButtonOf(&editor, "1002")->click();
      QVERIFY(answerer.texts.isEmpty());
      QVERIFY(!editor.isVisible());
    }
    CDlgOfControlAction editor(group, panel.Groups(), panel.Sequencer(), panel.VideoWindow(), &panel);
    editor.show();
    bool windowHidden = false;
    {
      ModalAnswerer answerer([&](QWidget* modal) {
        auto* capture = qobject_cast<CDlgOfAddAction*>(modal);
        if (!capture) return Press(QMessageBox::Ok, modal);
        windowHidden = !window.isVisible();
        capture->NameBox()->setEditText("开场");
        ButtonOf(capture, "1002")->click();
      });
      editor.AddBookmark();
    }
    QVERIFY(windowHidden);
    QVERIFY(window.isVisible());
    QCOMPARE(editor.Rows()->rowCount(), 1);
    QCOMPARE(editor.Rows()->item(0, 0)->text(), QString("开场"));
    QCOMPARE(editor.Rows()->item(0, 1)->text(), QString("00:00:00"));
    // Deleting the only row leaves no pair behind.
    editor.Rows()->selectRow(0);
    editor.DeleteBookmark();
    QVERIFY(editor.Store().Lines().empty());
    ModalAnswerer answerer([](QWidget* modal) { Press(QMessageBox::Ok, modal); });
    editor.DeleteBookmark();
    QCOMPARE(answerer.texts, QStringList{"请选择一行才能删除，谢谢"});
  }
};

QTEST_MAIN(BookmarkDialogsTest)
#include "BookmarkDialogsTest.moc"
