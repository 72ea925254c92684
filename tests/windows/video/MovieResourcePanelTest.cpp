// The video group panel's commands on the offscreen platform, through its menu's actions and its
// dialogs, with "chapters.dat" read back after each command.
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalSpy>

#include "tests/windows/video/PanelTestSupport.h"
#include "windows/skin/SkinResources.h"
#include "windows/video/CDlgOfSettingSafePlay.h"
#include "windows/video/CMovieResourceDlg.h"
#include "windows/video/CPlayVideoControlDlg.h"
#include "windows/video/CWindowPlayingVideo.h"

using kalimo::test::AnswerNextModal;
using kalimo::test::ChaptersLines;
using kalimo::test::ClickButton;

class MovieResourcePanelTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir program;
  QString Folder() const { return program.path(); }
  void WriteChapters(const QStringList& lines) {
    QFile file(Folder() + "/chapters.dat");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join("\r\n").toUtf8() + "\r\n");  // ASCII names: the same bytes in GB18030
  }
  void RemoveChapters() { QFile::remove(Folder() + "/chapters.dat"); }
  static CYYTreeCtrl::Item Root(CMovieResourceDlg& panel, int index) {
    return panel.Tree()->Items().Roots()[index].get();
  }
  // Selects the item (as a click would) and runs a command of its context menu.
  static void RunMenuCommand(CMovieResourceDlg& panel, CYYTreeCtrl::Item item, int command) {
    panel.Tree()->SelectItem(item);
    std::unique_ptr<QMenu> menu(panel.BuildContextMenu());
    QVERIFY(menu);
    QAction* action = menu->findChild<QAction*>(QString::number(command));
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    action->trigger();
  }

 private slots:
  void init() {
    qputenv("KALIMO_PROGRAM_DIR", Folder().toUtf8());
    RemoveChapters();
  }

  void addVideosMakesTheFolderGroupAndAppendsInOrder() {
    CMovieResourceDlg panel(nullptr);
    const QStringList chosen = {"/media/clips/a.avi", "/media/clips/b.avi", "/media/clips/c.avi"};
    panel.SetFileChooser([&](QWidget*) { return chosen; });
    panel.AddVideos();
    QCOMPARE(ChaptersLines(Folder()),
             QStringList({"clips&/media/clips/a.avi", "clips&/media/clips/b.avi", "clips&/media/clips/c.avi"}));
    CYYTreeCtrl::Item group = Root(panel, 0);
    QCOMPARE(QString::fromStdString(group->text), QString("clips"));
    QVERIFY(group->expanded);
    QCOMPARE(group->children.size(), size_t(3));
    QCOMPARE(QString::fromStdString(group->children[1]->text), QString("b.avi"));

    // The same folder again reuses the group; a file in the root folder goes to the default group.
    panel.SetFileChooser([](QWidget*) { return QStringList{"/media/clips/d.avi"}; });
    panel.AddVideos();
    panel.SetFileChooser([](QWidget*) { return QStringList{"/e.avi"}; });
    panel.AddVideos();
    QCOMPARE(panel.Tree()->Items().Roots().size(), size_t(2));
    QCOMPARE(ChaptersLines(Folder()).last(), QString("我的视频分组&/e.avi"));
    QCOMPARE(ChaptersLines(Folder()).size(), 5);

    // Cancelling the file dialog changes nothing.
    RemoveChapters();
    panel.SetFileChooser([](QWidget*) { return QStringList(); });
    panel.AddVideos();
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));
  }

  void addVideoIntoTheChosenGroup() {
    WriteChapters({"first&", "second&/v/x.avi"});
    CMovieResourceDlg panel(nullptr);
    panel.SetFileChooser([](QWidget*) { return QStringList{"/other/y.avi", "/other/z.avi"}; });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kAddVideo);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"first&/other/y.avi", "first&/other/z.avi", "second&/v/x.avi"}));
    QVERIFY(Root(panel, 0)->expanded);
  }

  void addGroupChecksTheName() {
    WriteChapters({"clips&/v/a.avi"});
    CMovieResourceDlg panel(nullptr);
    QStringList messages;
    // Empty, then an existing name (the dialog stays open each time), then one differing in case.
    AnswerNextModal([&](QWidget* dialog) {
      auto* edit = dialog->findChild<QLineEdit*>("1091");
      QVERIFY(edit);
      auto submit = [&](const QString& name) {
        edit->setText(name);
        AnswerNextModal([&](QWidget* box) {
          messages << static_cast<QMessageBox*>(box)->text();
          static_cast<QMessageBox*>(box)->accept();
        });
        ClickButton(dialog, "确定");
      };
      submit("");
      submit("clips");
      QVERIFY(dialog->isVisible());
      edit->setText("Clips");
      ClickButton(dialog, "确定");
    });
    panel.AddGroup();
    QCOMPARE(messages, QStringList({"列表名称不能为空", "组名称已经存在，不能重复添加"}));
    QCOMPARE(ChaptersLines(Folder()), QStringList({"clips&/v/a.avi", "Clips&"}));
    QCOMPARE(QString::fromStdString(Root(panel, 1)->text), QString("Clips"));
    QVERIFY(!Root(panel, 1)->expanded);
  }

  void renameGroup() {
    WriteChapters({"clips&/v/a.avi", "other&"});
    CMovieResourceDlg panel(nullptr);
    // To its own name: the dialog closes and nothing is written.
    RemoveChapters();
    AnswerNextModal([](QWidget* dialog) { ClickButton(dialog, "确定"); });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kRenameGroup);
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));

    AnswerNextModal([](QWidget* dialog) {
      dialog->findChild<QLineEdit*>("1091")->setText("renamed");
      ClickButton(dialog, "确定");
    });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kRenameGroup);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"renamed&/v/a.avi", "other&"}));
    QCOMPARE(QString::fromStdString(Root(panel, 0)->text), QString("renamed"));
    QCOMPARE(panel.Sequencer().CurrentGroupName(), std::string("renamed"));  // it was the current group
  }

  void deleteAndClear() {
    WriteChapters({"g&/v/a.avi", "g&/v/b.avi", "g&/v/c.avi", "h&/v/d.avi"});
    CMovieResourceDlg panel(nullptr);
    RunMenuCommand(panel, Root(panel, 0)->children[1].get(), CMovieResourceDlg::kDeleteVideo);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"g&/v/a.avi", "g&/v/c.avi", "h&/v/d.avi"}));
    QCOMPARE(Root(panel, 0)->children.size(), size_t(2));
    QCOMPARE(QString::fromStdString(Root(panel, 0)->children[1]->text), QString("c.avi"));

    // Cancel keeps the group; OK clears its videos but keeps the group.
    RemoveChapters();
    AnswerNextModal([](QWidget* box) { static_cast<QMessageBox*>(box)->reject(); });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kClearGroup);
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));
    AnswerNextModal([](QWidget* box) {
      QCOMPARE(static_cast<QMessageBox*>(box)->text(), QString("是否清除此分组下面的视频视频列表?"));
      ClickButton(box, "OK");
    });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kClearGroup);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"g&", "h&/v/d.avi"}));
    QVERIFY(Root(panel, 0)->children.empty());

    AnswerNextModal([](QWidget* box) { ClickButton(box, "OK"); });
    RunMenuCommand(panel, Root(panel, 1), CMovieResourceDlg::kDeleteGroup);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"g&"}));
    QCOMPARE(panel.Tree()->Items().Roots().size(), size_t(1));
  }

  void menuGreyingAndModeChecks() {
    WriteChapters({"g&mode&1", "g&/v/a.avi", "h&/v/b.avi"});
    CMovieResourceDlg panel(nullptr);
    struct Expect {
      CYYTreeCtrl::Item item;
      bool video;
      int checked;
    };
    for (const Expect& e : {Expect{Root(panel, 0), false, CMovieResourceDlg::kModeRepeatOne},
                            Expect{Root(panel, 0)->children[0].get(), true, CMovieResourceDlg::kModeRepeatOne},
                            Expect{Root(panel, 1), false, CMovieResourceDlg::kModeOnce}}) {
      panel.Tree()->SelectItem(e.item);
      std::unique_ptr<QMenu> menu(panel.BuildContextMenu());
      for (int groupCommand : {CMovieResourceDlg::kAddVideo, CMovieResourceDlg::kRenameGroup,
                               CMovieResourceDlg::kDeleteGroup, CMovieResourceDlg::kClearGroup}) {
        QCOMPARE(menu->findChild<QAction*>(QString::number(groupCommand))->isEnabled(), !e.video);
      }
      for (int videoCommand : {CMovieResourceDlg::kDeleteVideo, CMovieResourceDlg::kBookmarks}) {
        QCOMPARE(menu->findChild<QAction*>(QString::number(videoCommand))->isEnabled(), e.video);
      }
      for (int mode : {CMovieResourceDlg::kModeLoop, CMovieResourceDlg::kModeRepeatOne, CMovieResourceDlg::kModeOnce,
                       CMovieResourceDlg::kModeSeamless}) {
        QCOMPARE(menu->findChild<QAction*>(QString::number(mode))->isChecked(), mode == e.checked);
      }
    }
    // Nothing selected (a right click below the rows): no menu.
    panel.Tree()->SelectItem(nullptr);
    QVERIFY(!panel.BuildContextMenu());
  }

  void modeCommandsWriteOnlyChanges() {
    WriteChapters({"g&/v/a.avi"});
    CMovieResourceDlg panel(nullptr);
    RemoveChapters();
    RunMenuCommand(panel, Root(panel, 0)->children[0].get(), CMovieResourceDlg::kModeOnce);  // already
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));
    RunMenuCommand(panel, Root(panel, 0)->children[0].get(), CMovieResourceDlg::kModeLoop);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"g&mode&0", "g&/v/a.avi"}));
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kModeRepeatOne);
    QCOMPARE(ChaptersLines(Folder()), QStringList({"g&mode&1", "g&/v/a.avi"}));
  }

  void seamlessDialog() {
    WriteChapters({"g&prevent&/v/b.avi", "g&/v/a.avi", "g&/v/b.avi", "g&/w/a.avi"});
    CMovieResourceDlg panel(nullptr);
    // Opens with the stored idle video selected; Cancel keeps mode and idle video.
    RemoveChapters();
    AnswerNextModal([](QWidget* dialog) {
      auto* videos = dialog->findChild<QComboBox*>("1004");
      QCOMPARE(videos->count(), 3);
      QCOMPARE(videos->currentIndex(), 1);
      QCOMPARE(videos->itemText(2), QString("a.avi"));
      ClickButton(dialog, "取消");
    });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kModeSeamless);
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));
    QVERIFY(panel.IsSeamlessItem(Root(panel, 0)->children[1].get()));

    // The third entry (same file name as the first, another folder) told apart by its position.
    AnswerNextModal([](QWidget* dialog) {
      dialog->findChild<QComboBox*>("1004")->setCurrentIndex(2);
      ClickButton(dialog, "确定");
    });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kModeSeamless);
    QCOMPARE(ChaptersLines(Folder()),
             QStringList({"g&mode&3", "g&prevent&/w/a.avi", "g&/v/a.avi", "g&/v/b.avi", "g&/w/a.avi"}));
    QVERIFY(panel.IsSeamlessItem(Root(panel, 0)->children[2].get()));
    QVERIFY(!panel.IsSeamlessItem(Root(panel, 0)->children[0].get()));
    QVERIFY(!panel.IsSeamlessItem(Root(panel, 0)));

    // Choosing what is stored again, already in mode 3, writes nothing.
    RemoveChapters();
    AnswerNextModal([](QWidget* dialog) { ClickButton(dialog, "确定"); });
    RunMenuCommand(panel, Root(panel, 0), CMovieResourceDlg::kModeSeamless);
    QVERIFY(!QFile::exists(Folder() + "/chapters.dat"));
  }

  void seamlessDialogOfAnEmptyGroupNeedsAChoice() {
    kalimo::VideoGroupStore groups;
    groups.AddGroupVideo("empty", "");
    CDlgOfSettingSafePlay dialog(groups, "empty", "");
    QString message;
    AnswerNextModal([&](QWidget* box) {
      message = static_cast<QMessageBox*>(box)->text();
      static_cast<QMessageBox*>(box)->accept();
    });
    dialog.OnOk();
    QCOMPARE(message, QString("请选择无缝衔接视频"));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }
};

QTEST_MAIN(MovieResourcePanelTest)
#include "MovieResourcePanelTest.moc"
