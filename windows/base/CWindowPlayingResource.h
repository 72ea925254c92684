#pragma once
// The common base of the playing windows (video file, camera, still image, screen): a skinned,
// resizable window owned by the main window that shows the current source in a picture control
// and carries a control bar along its bottom edge.
//
// The base owns the bar, keeps the picture's aspect ratio, lays out picture and bar whenever the
// client area changes size, swallows Escape (a playing window never closes on it) and draws
// picture files, optionally feeding them to the virtual camera.
//
// A derived window:
//   - puts its controls on ClientArea() and hands its picture control to SetPictureControl() and
//     its bar to SetControlBar() (the bar becomes a child of ClientArea() and is owned here);
//   - sets pictureWidth / pictureHeight to its source's size and calls FitPicture() when a
//     source opens;
//   - may reserve a strip at the top through GetTopMargin() (the video window's notice board).
// Frames of live sources never pass through the window on their way to the frame section: the
// picture control only paints the latest frame the source kept (see CPictureControl).
#include <QRect>
#include <QSize>

#include "windows/skin/CColorTitleDlg.h"

class QPainter;

// Where the picture goes in a free area of `freeWidth` × `freeHeight` starting `top` pixels down,
// for a source of `pictureWidth` × `pictureHeight`: the largest rectangle of the source's aspect
// ratio, centred (letter- or pillar-boxed). An empty source size keeps 4:3.
QRect FitPictureRect(int freeWidth, int freeHeight, int top, int pictureWidth, int pictureHeight);

// The rectangle a picture file is stretched into: the picture control's rectangle less 5 pixels at
// the top and 2 at the bottom, where the control's frame lines are.
QRect PictureFileRect(const QRect& pictureControlRect);

class CWindowPlayingResource : public CColorTitleDlg {
  Q_OBJECT

 public:
  explicit CWindowPlayingResource(QWidget* owner);
  ~CWindowPlayingResource() override;

  // Shows or hides the window (and its bar with it). Hiding never stops the source.
  virtual void ShowPlayingWindow(bool show);
  // Moves the bar (when there is one) to the bottom of a client area of `width` × `height`, full
  // width, keeping its own height.
  virtual void PlaceControlBar(int width, int height);
  // Fits the picture control into the client area between the top margin and the bar.
  virtual void FitPicture();
  virtual QWidget* GetPictureControl() const { return pictureControl_; }
  // The bar's height; 0 while there is none.
  virtual int GetControlBarHeight() const;
  virtual int GetTopMargin() const { return 0; }

  QWidget* ControlBar() const { return controlBar_; }
  int PictureWidth() const { return pictureWidth; }
  int PictureHeight() const { return pictureHeight; }

  // Draws the picture file stretched into PictureFileRect of the picture control, on `painter`,
  // which paints `paintedWidget` (the window's client area or the picture control itself). An
  // empty path or a file that cannot be decoded draws nothing; returns whether it drew.
  bool DrawPictureFile(QWidget* paintedWidget, QPainter& painter, const QString& path) const;

 protected:
  void SetControlBar(QWidget* bar);
  void SetPictureControl(QWidget* pictureControl);
  // Lays out picture and bar for the client area's current size.
  void LayOutClient();

  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The source's picture size, for the aspect ratio; the real size replaces it when a source opens.
  int pictureWidth = 640;
  int pictureHeight = 480;

 private:
  QWidget* controlBar_ = nullptr;
  QWidget* pictureControl_ = nullptr;
};
