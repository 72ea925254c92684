#pragma once
// Naming a bookmark and finding its moment: the video plays in the dialog's own small preview
// with a position slider; "定在此时间" pauses it at the moment wanted, "^" and "v" move it by whole
// seconds, and "确定" hands back the name and the time shown ("hh:mm:ss").
#include <QDialog>
#include <QString>
#include <QTimer>
#include <string>

#include "media/base/VideoWindow.h"
#include "media/player/CMyVideoPlayer.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class CPictureControl;

class CDlgOfAddAction : public QDialog, public kalimo::media::VideoWindow {
  Q_OBJECT

 public:
  static constexpr int kPlayingTick = 1000;   // ms, until the slider was released once
  static constexpr int kDraggedTick = 100;    // ms, afterwards

  CDlgOfAddAction(const QString& name, const QString& time, QWidget* parent = nullptr);
  ~CDlgOfAddAction() override;

  // The video to preview; set before the dialog is shown (may stay empty).
  void SetVideoPath(const std::string& path) { videoPath_ = path; }
  // Read back after "确定".
  const QString& Name() const { return name_; }
  const QString& TimeText() const { return time_; }

  QComboBox* NameBox() const { return nameBox_; }
  QLineEdit* TimeEdit() const { return timeEdit_; }
  QSlider* Slider() const { return slider_; }
  QPushButton* FixButton() const { return fixButton_; }
  bool IsPositionFixed() const { return positionFixed_; }
  bool IsPreviewLoaded() const { return player_.IsLoaded(); }
  int TickInterval() const { return tick_.isActive() ? tick_.interval() : 0; }

  // Player notices from its streaming thread.
  void PreviewFrameArrived() override;
  void GraphEventsWaiting() override;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenVideo();
  void OnTick();
  void OnSliderReleased();
  void OnFixOrResume();
  void StepBy(std::int64_t seconds);
  void OnOk();
  void OnCancel();
  void TakeGraphEvents();
  bool Ask(const QString& question);

  QString name_;
  QString time_;
  std::string videoPath_;
  bool opened_ = false;
  bool positionFixed_ = false;
  QComboBox* nameBox_;
  QLineEdit* timeEdit_;
  QPushButton* fixButton_;
  CPictureControl* preview_;
  QSlider* slider_;
  QTimer tick_;
  kalimo::media::CMyVideoPlayer player_;
};
