#pragma once
// The video window's control bar: play/pause, stop, a seek bar refreshed every 100 ms, skipping
// 5 s back and forth, mute and volume, and a status line. A view: it emits what the user asks for
// and shows the state its window sets; the window does the playing.
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <map>

#include "windows/skin/CThemeHelperST.h"

class QAbstractButton;
class QLabel;
class QPushButton;
class QSlider;
class CXPStyleButtonST;

class CPlayVideoControlDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 100;
  static constexpr int kVolumeRange = 10000;

  explicit CPlayVideoControlDlg(QWidget* parent = nullptr);

  // The play button's look: the pause picture while playing, the play picture otherwise.
  void ShowPlaying(bool playing);
  void SetStatusText(const QString& text);
  QString StatusText() const;
  // Seek bar range and position, in milliseconds; ignored while the user holds the thumb.
  void ShowPosition(qint64 durationMs, qint64 positionMs);
  // The sound controls: enabled for a file with sound; the volume bar is 0 (silence) … 10000.
  void ShowSound(bool hasSound, int volumeBarPosition);
  void ShowMuted(bool muted);
  void EnablePlayback(bool enabled);
  // Whether the position tick runs (it stops while the mouse holds the seek bar or a skip button).
  bool IsTicking() const { return tick_.isActive(); }

  QSlider* SeekBar() const { return seekBar_; }
  QSlider* VolumeBar() const { return volumeBar_; }
  QAbstractButton* PlayButton() const;
  QAbstractButton* StopButton() const;
  QAbstractButton* MuteButton() const;
  QPushButton* SkipForwardButton() const { return skipForward_; }
  QPushButton* SkipBackButton() const { return skipBack_; }

  // The bar is as tall as its template, and taller by what a long status message needs at `width`
  // to be read whole; the playing window asks this when it lays out.
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 signals:
  void PlayPauseClicked();
  void StopClicked();
  void MuteClicked();
  void SkipForwardClicked();
  void SkipBackClicked();
  void SeekRequested(qint64 positionMs);
  // The volume bar was released at `barPosition` (0 … 10000).
  void VolumeRequested(int barPosition);
  // Every 100 ms: the window refreshes the position.
  void PositionTick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CXPStyleButtonST* MakePictureButton(int id, const QString& caption, const QString& picture);
  void Place(QWidget* control, const QRect& rect);
  void ApplyLayout();
  // The status line's width in a bar `barWidth` wide, and the lines it needs beyond its template.
  int StatusWidth(int barWidth) const;
  int ExtraStatusHeight(int barWidth) const;

  CThemeHelperST themeHelper_;
  QTimer tick_;
  QSlider* seekBar_;
  QSlider* volumeBar_;
  CXPStyleButtonST* play_;
  CXPStyleButtonST* stop_;
  CXPStyleButtonST* mute_;
  QPushButton* skipForward_;
  QPushButton* skipBack_;
  QLabel* status_;
  // Each control's rectangle as laid out at the template's size, for anchoring on resize.
  std::map<QWidget*, QRect> templateRects_;
};
