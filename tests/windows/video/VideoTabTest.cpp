// The video window and its bar over a real player, and the group panel driving it, on the
// offscreen platform with generated clips of flat colours.
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include "common/ApplyDataToOstrel.h"
#include "common/Messages.h"
#include "media/base/MediaResult.h"
#include "tests/support/TestSection.h"
#include "tests/windows/video/PanelTestSupport.h"
#include "windows/skin/SkinResources.h"
#include "windows/video/CMovieResourceDlg.h"
#include "windows/video/CPlayVideoControlDlg.h"
#include "windows/video/CWindowPlayingVideo.h"

class VideoTabTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder;
  QString red, green, blue, withSound, longer, wide;

 private slots:
  void initTestCase() {
    // GStreamer's registry in the test's folder, not in the user's cache.
    qputenv("GST_REGISTRY", (folder.path() + "/gst-registry.bin").toUtf8());
    qputenv("KALIMO_PROGRAM_DIR", folder.path().toUtf8());
    // The clips of the group have sound, as users' own; "long.avi" and "wide.avi" have none.
    red = kalimo::test::MakeClip(folder.filePath("red.mp4"), "red", true);
    green = kalimo::test::MakeClip(folder.filePath("green.mp4"), "green", true);
    blue = kalimo::test::MakeClip(folder.filePath("blue.mp4"), "blue", true);
    withSound = kalimo::test::MakeClip(folder.filePath("sound.mp4"), "white", true);
    QCOMPARE(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=red:size=128x48:rate=30:duration=0.4 "
                          "-c:v mjpeg -pix_fmt yuvj420p '" + folder.filePath("wide.avi") + "'").toUtf8().constData()), 0);
    wide = folder.filePath("wide.avi");
    longer = folder.filePath("long.avi");
    QCOMPARE(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=gray:size=64x48:rate=10:duration=2 "
                          "-c:v mjpeg -pix_fmt yuvj420p '" + longer + "'").toUtf8().constData()), 0);
    QVERIFY(!red.isEmpty() && !withSound.isEmpty());
  }
  void cleanup() { kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle()); }

  void failuresShowTheirReason() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    CPlayVideoControlDlg* bar = window.Bar();
    QVERIFY(!window.PlayVideoFile(QString()));
    QVERIFY(!window.PlayVideoFile(folder.filePath("gone.avi")));
    QCOMPARE(bar->StatusText(), QString("播放视频 gone.avi失败，失败的理由是：媒体文件不存在或者已经被删除"));
    QFile broken(folder.filePath("broken.avi"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a video");
    broken.close();
    QVERIFY(!window.PlayVideoFile(broken.fileName()));
    QVERIFY(bar->StatusText().startsWith("播放视频 broken.avi失败，失败的理由是："));
    QVERIFY(!bar->StatusText().endsWith("失败的理由是："));
    QVERIFY(!window.IsLoaded());
    QVERIFY(window.IsPaused());
  }

  // A message longer than the bar is wide wraps within the bar: every line is inside it.
  void longStatusWrapsWithinTheBar() {
    CWindowPlayingVideo window(nullptr);
    window.resize(420, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CPlayVideoControlDlg* bar = window.Bar();
    const QString text = "播放视频 broken.mp4失败，失败的理由是：" + QString::fromStdString(kalimo::FormatResultText(
                                                                         kalimo::media::kUnsupportedStream));
    bar->SetStatusText(text);
    const QLabel* status = bar->findChild<QLabel*>("1028");
    QVERIFY(status->fontMetrics().horizontalAdvance(text) > bar->width());  // it does not fit on one line
    // Every line within the bar, which grows to hold them.
    QTRY_VERIFY(status->geometry().right() < bar->width() && status->geometry().bottom() < bar->height());
    QVERIFY2(status->heightForWidth(status->width()) <= status->height(),
                 qPrintable(QString("%1 px of text in %2 px").arg(status->heightForWidth(status->width())).arg(status->height())));
    // The taller bar stays within the window, below the picture.
    QTRY_COMPARE(bar->geometry().bottom(), window.ClientArea()->height() - 1);
    QVERIFY(window.GetPictureControl()->geometry().bottom() < bar->y());
    QCOMPARE(status->toolTip(), text);
    // A short message gives the bar back its own height.
    const int tall = bar->height();
    bar->SetStatusText("停止播放视频");
    QTRY_VERIFY(bar->height() < tall);
  }

  void playPauseStopAndPlayAgain() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    CPlayVideoControlDlg* bar = window.Bar();
    QSignalSpy requests(&window, &CWindowPlayingVideo::PlayRequested);
    QVERIFY(window.PlayVideoFile(longer));
    QCOMPARE(bar->StatusText(), QString("现在正在播放的视频是：long.avi"));
    QCOMPARE(bar->PlayButton()->toolTip(), QString("暂停"));
    // No sound: mute and volume disabled.
    QVERIFY(!bar->MuteButton()->isEnabled());
    QVERIFY(!bar->VolumeBar()->isEnabled());
    // The tick sets the range to the duration in milliseconds.
    QTRY_VERIFY(bar->SeekBar()->maximum() > 1900 && bar->SeekBar()->maximum() <= 2000);

    bar->PlayButton()->click();
    QCOMPARE(bar->StatusText(), QString("暂停状态"));
    QCOMPARE(bar->PlayButton()->toolTip(), QString("播放"));
    bar->PlayButton()->click();
    QCOMPARE(bar->StatusText(), QString("重新播放状态"));
    QCOMPARE(requests.count(), 0);

    bar->StopButton()->click();
    QCOMPARE(bar->StatusText(), QString("停止播放视频"));
    QVERIFY(!window.IsLoaded());
    QCOMPARE(bar->SeekBar()->value(), 0);
    // Play after stop asks the group panel to start its current video.
    bar->PlayButton()->click();
    QCOMPARE(requests.count(), 1);
  }

  // A click in the groove seeks there (or sets the volume there), as a drag to that point would.
  void aClickInTheGrooveSeeksAndSetsTheVolume() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    window.resize(420, 480);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CPlayVideoControlDlg* bar = window.Bar();
    QVERIFY(window.PlayVideoFile(longer));
    QTRY_VERIFY(bar->SeekBar()->maximum() > 1900);
    window.PlayPause();  // paused, so that the position read is the one sought
    QSignalSpy seek(bar, &CPlayVideoControlDlg::SeekRequested);
    QSlider* seekBar = bar->SeekBar();
    QTest::mouseClick(seekBar, Qt::LeftButton, {}, QPoint(seekBar->width() * 3 / 4, seekBar->height() / 2));
    QCOMPARE(seek.count(), 1);
    const qint64 wanted = seek.front().front().toLongLong();
    QVERIFY2(qAbs(wanted - seekBar->maximum() * 3 / 4) < seekBar->maximum() / 10, qPrintable(QString::number(wanted)));
    kalimo::MediaTime position{};
    QTRY_VERIFY(window.Player().GetCurrentPosition(position) &&
                qAbs(std::chrono::duration_cast<std::chrono::milliseconds>(position).count() - wanted) < 150);

    QVERIFY(window.PlayVideoFile(withSound));
    QSlider* volumeBar = bar->VolumeBar();
    QVERIFY(volumeBar->isEnabled());
    QTest::mouseClick(volumeBar, Qt::LeftButton, {}, QPoint(volumeBar->width() / 4, volumeBar->height() / 2));
    QVERIFY(volumeBar->value() < CPlayVideoControlDlg::kVolumeRange / 2);
    long volume = 0;
    QVERIFY(window.Player().GetVolume(volume));
    QVERIFY2(qAbs(volume - (volumeBar->value() - CPlayVideoControlDlg::kVolumeRange)) <= 5,
             qPrintable(QString("%1 heard, bar at %2").arg(volume).arg(volumeBar->value())));
  }

  void aRefusedPauseChangesNothing() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    QVERIFY(window.PlayVideoFile(longer));
    const QString status = window.Bar()->StatusText();
    const QString tip = window.Bar()->PlayButton()->toolTip();
    window.Player().Close();  // the player can no longer pause
    window.PlayPause();
    QVERIFY(!window.IsPaused());
    QCOMPARE(window.Bar()->StatusText(), status);
    QCOMPARE(window.Bar()->PlayButton()->toolTip(), tip);
  }

  void holdingTheSeekBarStopsTheTick() {
    CWindowPlayingVideo window(nullptr);
    window.show();
    CPlayVideoControlDlg* bar = window.Bar();
    QVERIFY(bar->IsTicking());
    QTest::mousePress(bar->SeekBar(), Qt::LeftButton);
    QVERIFY(!bar->IsTicking());
    QTest::mouseRelease(bar->SeekBar(), Qt::LeftButton);
    QVERIFY(bar->IsTicking());
    QTest::mousePress(bar->SkipForwardButton(), Qt::LeftButton);
    QVERIFY(!bar->IsTicking());
    QTest::mouseRelease(bar->SkipForwardButton(), Qt::LeftButton);
    QVERIFY(bar->IsTicking());
  }

  void muteCarriesToTheNextFile() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    CPlayVideoControlDlg* bar = window.Bar();
    QVERIFY(window.PlayVideoFile(withSound));
    QVERIFY(bar->MuteButton()->isEnabled());
    bar->MuteButton()->click();
    QVERIFY(window.IsMuted());
    QCOMPARE(bar->MuteButton()->toolTip(), QString("播音"));
    QVERIFY(!bar->VolumeBar()->isEnabled());
    QVERIFY(window.PlayVideoFile(withSound));
    long volume = 0;
    QVERIFY(window.Player().GetVolume(volume));
    QCOMPARE(volume, kalimo::media::CMyVideoPlayer::kSilence);
    bar->MuteButton()->click();
    QVERIFY(!window.IsMuted());
    QCOMPARE(bar->MuteButton()->toolTip(), QString("静音"));
    QVERIFY(window.Player().GetVolume(volume));
    QVERIFY(volume > kalimo::media::CMyVideoPlayer::kSilence);
  }

  void minimiseAndCloseOnlyHide() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    QSignalSpy hidden(&window, &CWindowPlayingVideo::WindowHidden);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.PlayVideoFile(longer));
    window.PressFrameButton(kalimo::skin::FrameButton::kMinimize);
    QVERIFY(!window.isVisible());
    window.ShowPlayingWindow(true);
    window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(hidden.count(), 2);
    QVERIFY(window.IsLoaded());
  }

  void continuationNamesTheNewFileAndRefitsThePicture() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    window.show();
    QSignalSpy continued(&window, &CWindowPlayingVideo::VideoContinued);
    QSignalSpy ended(&window, &CWindowPlayingVideo::VideoEnded);
    QVERIFY(window.PlayVideoFile(green));
    const QRect before = window.GetPictureControl()->geometry();
    window.Player().SetContinuation(wide.toStdString());
    QTRY_COMPARE_WITH_TIMEOUT(continued.count(), 1, 20000);
    QCOMPARE(continued.front().front().toString(), wide);
    QCOMPARE(window.Bar()->StatusText(), QString("现在正在播放的视频是：wide.avi"));
    QCOMPARE(ended.count(), 0);  // no end: it went on
    // 128 × 48 instead of 64 × 48: the picture is refitted to the wider shape.
    QTRY_COMPARE(window.PictureWidth(), 128);
    const QRect after = window.GetPictureControl()->geometry();
    QVERIFY(after.height() < before.height());
    QCOMPARE(after.width() * 48 / 128, after.height());
    // Nothing queued after it: the file ends as before.
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
  }

  void doubleClickPlaysAndTheEndMovesOn() {
    kalimo::test::TestSection section;
    CWindowPlayingVideo window(nullptr);
    CMovieResourceDlg panel(&window);
    panel.SetFileChooser([&](QWidget*) { return QStringList{red, green, blue}; });
    panel.AddVideos();  // nothing was loaded: the first added video starts
    QVERIFY(window.IsLoaded());
    QCOMPARE(window.Bar()->StatusText(), QString("现在正在播放的视频是：red.mp4"));
    CYYTreeCtrl::Item group = panel.Tree()->Items().Roots()[0].get();
    QCOMPARE(group->children[0]->picture, int(kalimo::skin::kPlayingVideoPicture));
    panel.Tree()->SelectItem(group);
    std::unique_ptr<QMenu> menu(panel.BuildContextMenu());
    menu->findChild<QAction*>(QString::number(CMovieResourceDlg::kModeLoop))->trigger();

    panel.Tree()->SelectItem(group->children[1].get());
    emit panel.Tree()->ItemDoubleClicked();
    QCOMPARE(window.Bar()->StatusText(), QString("现在正在播放的视频是：green.mp4"));
    QCOMPARE(group->children[1]->picture, int(kalimo::skin::kPlayingVideoPicture));
    QCOMPARE(group->children[0]->picture, int(kalimo::skin::kBlankVideoPicture));
    // At its end the loop moves on to the third video.
    QTRY_COMPARE_WITH_TIMEOUT(window.Bar()->StatusText(), QString("现在正在播放的视频是：blue.mp4"), 20000);
    QCOMPARE(group->children[2]->picture, int(kalimo::skin::kPlayingVideoPicture));
    QCOMPARE(group->children[1]->picture, int(kalimo::skin::kBlankVideoPicture));
  }
};

QTEST_MAIN(VideoTabTest)
#include "VideoTabTest.moc"
