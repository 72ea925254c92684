#pragma once
// The playing window of the video tab: previews the video file the group panel chooses through
// the video file player, whose frame tap feeds every decoded frame to the virtual camera, with
// the video control bar along the bottom and an optional notice strip along the top.
//
// The window does what the bar asks (play/pause, stop, seek, skip, volume, mute) and reports what
// the group panel must decide: the end of a video (VideoEnded) and a play press while nothing is
// loaded (PlayRequested). Minimising or closing only hides it; the video keeps feeding the camera.
#include <QString>

#include "media/base/VideoWindow.h"
#include "media/player/CMyVideoPlayer.h"
#include "windows/base/CWindowPlayingResource.h"

class CPictureControl;
class CPlayVideoControlDlg;

class CWindowPlayingVideo : public CWindowPlayingResource, public kalimo::media::VideoWindow {
  Q_OBJECT

 public:
  explicit CWindowPlayingVideo(QWidget* owner);
  ~CWindowPlayingVideo() override;

  // Loads and starts the file, showing the outcome in the bar's status line; false when it
  // cannot be played (or the path is empty).
  bool PlayVideoFile(const QString& path);
  bool IsLoaded() const { return player_.IsLoaded(); }
  kalimo::media::CMyVideoPlayer& Player() { return player_; }
  CPlayVideoControlDlg* Bar() const { return bar_; }
  bool IsPaused() const { return paused_; }
  bool IsMuted() const { return muted_; }

  // The notice strip across the top (made by the main window); the window places and owns it.
  void SetNoticeBoard(QWidget* noticeBoard);

  QWidget* GetPictureControl() const override;
  int GetTopMargin() const override;

  // The bar's buttons, also callable directly.
  void PlayPause();
  void Stop();
  // Releases the file without a status text (the group has nothing to play).
  void CloseVideo();
  void ToggleMute();
  // Refreshes the seek bar from the player (the bar's 100 ms tick).
  void RefreshPosition();

  // VideoWindow: notices from the player's streaming thread, turned into queued calls.
  void PreviewFrameArrived() override;
  void GraphEventsWaiting() override;

 signals:
  // The player reached the end of the file: the group panel applies its end-of-video rule.
  void VideoEnded();
  // The player went on into its queued file `path` without stopping (the status line names it).
  void VideoContinued(const QString& path);
  // The player stopped with an error (also when a queued file could not be played).
  void PlaybackFailed();
  // Play pressed with nothing loaded: the group panel starts its current video.
  void PlayRequested();
  // Minimise or close hid the window; the main window's toggle then reads "显示视频图像窗口".
  void WindowHidden();

 protected:
  void MinimizeWindow() override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void TakeGraphEvents();
  // Repaints the picture, first refitting it when a continuation brought pictures of another size.
  void ShowNewFrame();
  void InitialiseVolume();
  void ShowStopped();
  void PlaceNoticeBoard();

  kalimo::media::CMyVideoPlayer player_;
  CPictureControl* picture_;
  CPlayVideoControlDlg* bar_;
  QWidget* noticeBoard_ = nullptr;
  bool paused_ = false;
  bool muted_ = false;
};

// The text after the last "/" of a path (empty when it has none), as the status line names files.
QString StatusFileName(const QString& path);
