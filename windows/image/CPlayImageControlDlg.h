#pragma once
// The image window's control bar: how many seconds each image stays (edit 1041) and the pause
// button (1074). A view: the window reads the seconds at each tick, as typed, and is told of the
// user's pause and resume; it sets the button's caption back through SetPaused.
#include <QWidget>
#include <cstdint>

class QLineEdit;
class QPushButton;

class CPlayImageControlDlg : public QWidget {
  Q_OBJECT

 public:
  // `secondsPerImage` is the edit's first text.
  explicit CPlayImageControlDlg(std::int32_t secondsPerImage, QWidget* parent = nullptr);

  // The edit's text read now as a number of seconds (text without leading digits gives 0).
  std::int32_t SecondsPerImage() const;
  // The button's caption: "播放" while paused, "暂停" while running.
  void SetPaused(bool paused);
  bool IsPaused() const { return paused_; }

  QLineEdit* SecondsEdit() const { return secondsEdit_; }
  QPushButton* PauseButton() const { return pauseButton_; }

  static constexpr const char* kPauseCaption = "暂停";
  static constexpr const char* kPlayCaption = "播放";

 signals:
  void PauseRequested();
  void ResumeRequested();

 private:
  QLineEdit* secondsEdit_;
  QPushButton* pauseButton_;
  bool paused_ = false;
};
