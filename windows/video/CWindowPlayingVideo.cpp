#include "windows/video/CWindowPlayingVideo.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMetaObject>
#include <QSlider>

#include "common/Logging.h"
#include "common/Messages.h"
#include "media/base/MediaResult.h"
#include "windows/base/CPictureControl.h"
#include "windows/base/DialogUnits.h"
#include "windows/base/VideoPreviewPainter.h"
#include "windows/video/CPlayVideoControlDlg.h"

using kalimo::media::CMyVideoPlayer;

QString StatusFileName(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QString() : path.mid(slash + 1);
}

CWindowPlayingVideo::CWindowPlayingVideo(QWidget* owner) : CWindowPlayingResource(owner) {
  setObjectName("138");
  setWindowTitle("视频预览区");
  picture_ = new CPictureControl;
  picture_->setObjectName("1014");
  picture_->setAccessibleName("视频预览区");
  // The player's latest frame: painting reads it, nothing is copied on its way to the camera.
  picture_->SetPainter([this](QPainter& painter, const QRect& target) {
    kalimo::media::RepaintVideo(player_, painter, target);
  });
  SetPictureControl(picture_);
  bar_ = new CPlayVideoControlDlg;
  SetControlBar(bar_);
  resize(DialogUnitsSize(467, 285) + QSize(8, 36));

  connect(bar_, &CPlayVideoControlDlg::PlayPauseClicked, this, &CWindowPlayingVideo::PlayPause);
  connect(bar_, &CPlayVideoControlDlg::StopClicked, this, &CWindowPlayingVideo::Stop);
  connect(bar_, &CPlayVideoControlDlg::MuteClicked, this, &CWindowPlayingVideo::ToggleMute);
  connect(bar_, &CPlayVideoControlDlg::SkipForwardClicked, this, [this] { player_.SkipForward(); });
  connect(bar_, &CPlayVideoControlDlg::SkipBackClicked, this, [this] { player_.SkipBack(); });
  connect(bar_, &CPlayVideoControlDlg::PositionTick, this, &CWindowPlayingVideo::RefreshPosition);
  connect(bar_, &CPlayVideoControlDlg::SeekRequested, this, [this](qint64 positionMs) {
    if (!player_.SetPosition(std::chrono::milliseconds(positionMs))) qDebug("failure");
  });
  connect(bar_, &CPlayVideoControlDlg::VolumeRequested, this, [this](int barPosition) {
    player_.SetVolume(barPosition - CPlayVideoControlDlg::kVolumeRange);
    // What the pipeline now plays at, read back from it: the log tells whether the bar is heard.
    long volume = 0;
    if (player_.GetVolume(volume)) KALIMO_LOG_INFO("volume %ld (1/100 dB), the bar at %d", volume, barPosition);
  });
  ShowStopped();
  bar_->SetStatusText(QString());
}

CWindowPlayingVideo::~CWindowPlayingVideo() {
  // No more frames reach the camera, and no notice reaches a window being destroyed.
  player_.Close();
}

QWidget* CWindowPlayingVideo::GetPictureControl() const { return picture_; }

int CWindowPlayingVideo::GetTopMargin() const { return noticeBoard_ ? noticeBoard_->height() : 0; }

void CWindowPlayingVideo::SetNoticeBoard(QWidget* noticeBoard) {
  noticeBoard_ = noticeBoard;
  if (noticeBoard) noticeBoard->setParent(ClientArea());
  PlaceNoticeBoard();
  LayOutClient();
}

void CWindowPlayingVideo::PlaceNoticeBoard() {
  if (noticeBoard_) noticeBoard_->setGeometry(0, 0, ClientArea()->width(), noticeBoard_->height());
}

void CWindowPlayingVideo::resizeEvent(QResizeEvent* event) {
  CWindowPlayingResource::resizeEvent(event);
  PlaceNoticeBoard();
}

bool CWindowPlayingVideo::PlayVideoFile(const QString& path) {
  if (path.isEmpty()) return false;
  const int result = player_.OpenFile(this, path.toStdString());
  if (kalimo::media::Failed(result)) {
    player_.Close();
    ShowStopped();
    const QString reason = QFileInfo::exists(path) ? QString::fromStdString(kalimo::FormatResultText(result))
                                                   : QString("媒体文件不存在或者已经被删除");
    bar_->SetStatusText("播放视频 " + StatusFileName(path) + "失败，失败的理由是：" + reason);
    return false;
  }
  pictureWidth = player_.NativeWidth();
  pictureHeight = player_.NativeHeight();
  FitPicture();
  bar_->SetStatusText("现在正在播放的视频是：" + StatusFileName(path));
  paused_ = false;
  bar_->ShowPlaying(true);
  InitialiseVolume();
  bar_->EnablePlayback(true);
  return true;
}

void CWindowPlayingVideo::InitialiseVolume() {
  long volume = 0;
  if (!player_.GetVolume(volume)) {
    bar_->ShowSound(false, 0);
    return;
  }
  bar_->ShowSound(true, static_cast<int>(volume) + CPlayVideoControlDlg::kVolumeRange);
  // A new file starts muted while the user keeps the sound off.
  if (muted_) {
    player_.Mute();
    bar_->ShowMuted(true);
  } else {
    player_.SetVolume(bar_->VolumeBar()->value() - CPlayVideoControlDlg::kVolumeRange);
  }
}

void CWindowPlayingVideo::PlayPause() {
  if (!paused_) {
    // A refused pause leaves the button and the status line as they were: the video plays on.
    if (!player_.Pause()) return;
    paused_ = true;
    bar_->ShowPlaying(false);
    bar_->SetStatusText("暂停状态");
  } else if (!player_.IsLoaded()) {
    emit PlayRequested();
  } else if (player_.Run()) {
    paused_ = false;
    bar_->ShowPlaying(true);
    bar_->SetStatusText("重新播放状态");
  }
}

void CWindowPlayingVideo::Stop() {
  player_.Close();  // the camera keeps the last frame
  ShowStopped();
  bar_->SetStatusText("停止播放视频");
  picture_->update();
}

void CWindowPlayingVideo::CloseVideo() {
  player_.Close();
  ShowStopped();
  picture_->update();
}

void CWindowPlayingVideo::ShowStopped() {
  bar_->ShowPlaying(false);
  bar_->SeekBar()->setValue(0);
  paused_ = true;
}

void CWindowPlayingVideo::ToggleMute() {
  if (muted_) {
    if (player_.SetVolume(bar_->VolumeBar()->value() - CPlayVideoControlDlg::kVolumeRange)) {
      muted_ = false;
      bar_->ShowMuted(false);
    }
  } else if (player_.Mute()) {
    muted_ = true;
    bar_->ShowMuted(true);
  }
}

void CWindowPlayingVideo::RefreshPosition() {
  kalimo::MediaTime duration{};
  kalimo::MediaTime position{};
  if (!player_.GetDuration(duration) || !player_.GetCurrentPosition(position)) return;
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  bar_->ShowPosition(duration_cast<milliseconds>(duration).count(), duration_cast<milliseconds>(position).count());
}

void CWindowPlayingVideo::PreviewFrameArrived() {
  QMetaObject::invokeMethod(this, &CWindowPlayingVideo::ShowNewFrame, Qt::QueuedConnection);
}

void CWindowPlayingVideo::ShowNewFrame() {
  int width = 0;
  int height = 0;
  if (player_.CurrentVideoSize(width, height) && (width != pictureWidth || height != pictureHeight)) {
    pictureWidth = width;
    pictureHeight = height;
    FitPicture();
  }
  picture_->update();
}

void CWindowPlayingVideo::GraphEventsWaiting() {
  QMetaObject::invokeMethod(this, &CWindowPlayingVideo::TakeGraphEvents, Qt::QueuedConnection);
}

void CWindowPlayingVideo::TakeGraphEvents() {
  CMyVideoPlayer::Event event{};
  while (player_.TakeNextEvent(event)) {
    switch (event) {
      case CMyVideoPlayer::Event::EndOfStream:
        emit VideoEnded();
        break;
      case CMyVideoPlayer::Event::Continued: {
        const QString path = QString::fromStdString(player_.CurrentPath());
        bar_->SetStatusText("现在正在播放的视频是：" + StatusFileName(path));
        emit VideoContinued(path);
        break;
      }
      case CMyVideoPlayer::Event::Error:
        emit PlaybackFailed();
        break;
    }
    // A handler may have closed or replaced the player's file: its old events are gone.
    if (!player_.IsLoaded()) break;
  }
}

void CWindowPlayingVideo::MinimizeWindow() {
  ShowPlayingWindow(false);
  emit WindowHidden();
}

void CWindowPlayingVideo::closeEvent(QCloseEvent* event) {
  // Closing only hides: the video keeps feeding the camera.
  event->ignore();
  ShowPlayingWindow(false);
  emit WindowHidden();
}
