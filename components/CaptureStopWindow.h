#pragma once
// The small window that ends a capture through the desktop's ScreenCast portal. On Wayland no
// program may grab Escape for the whole screen, so Escape works where the user can reach it: in
// this window, which takes the focus when it opens, as do its button and its close button. The
// desktop's own sharing indicator ends the capture too (the portal closes the session).
#include <QWidget>

class QPushButton;

class CaptureStopWindow : public QWidget {
  Q_OBJECT

 public:
  CaptureStopWindow();

  QPushButton* StopButton() const { return stopButton_; }

 signals:
  // Escape, the button or the window's close button; emitted once.
  void StopRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void RequestStop();

  QPushButton* stopButton_;
  bool requested_ = false;
};
