#pragma once
// The program's own window frame: a frameless top-level dialog that paints its 32-pixel title bar
// and 4-pixel borders from the skin picture, with the icon, the bold caption and the minimise,
// maximise/restore and close buttons, and that moves and resizes through the window system.
//
// Derived windows put their controls on ClientArea() (the inside of the frame, painted with
// BackgroundBrush()). The caption is the window title. Minimising runs MinimizeWindow(), which a
// derived window may override (the main window hides to the tray); closing goes through close(),
// so closeEvent() decides as usual. A `parent` makes the window owned (it stays a top-level
// window, above its owner), as the playing windows are by the main window.
#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QTimer>

#include "windows/skin/FrameGeometry.h"

class QMenu;

class CColorTitleDlg : public QDialog {
  Q_OBJECT

 public:
  // `showIcon`: the caption shows the program icon; `boxes`: which of the minimise and maximise
  // buttons the frame has (kalimo::skin::kMinimizeBox | kMaximizeBox).
  CColorTitleDlg(QWidget* parent, bool showIcon, unsigned boxes);
  ~CColorTitleDlg() override;

  // The inside of the frame, where derived windows put their controls.
  QWidget* ClientArea() const { return clientArea_; }
  // The solid RGB(247, 255, 255) brush for backgrounds of derived windows and their controls.
  static QBrush BackgroundBrush();

  // The rectangles of the icon and the buttons, relative to the window's top-left corner.
  kalimo::skin::FrameButtons ButtonRects() const;
  // What the point of the window is, as the window reports it (buttons count as caption).
  kalimo::skin::FrameHit HitTest(const QPoint& windowPoint) const;
  kalimo::skin::FrameButton HoveredButton() const { return hovered_; }
  bool IsActiveFrame() const { return active_; }
  unsigned Boxes() const { return boxes_; }
  // The tooltip text of a caption button: "最小化", "最大化" or "向下还原", "关闭".
  QString ButtonToolTip(kalimo::skin::FrameButton button) const;
  // Runs a caption button's action as a click on it would.
  void PressFrameButton(kalimo::skin::FrameButton button);
  // The icon's system menu (restore, move, size, minimise, maximise, close), built on first use.
  QMenu* SystemMenu();

  // Delay before a caption button's tooltip shows.
  static constexpr int kToolTipDelayMs = 1000;

 signals:
  // The hovered caption button changed (kNone when the pointer left them).
  void HoveredButtonChanged();

 protected:
  // Minimise button and the system menu's minimise entry; shows the window minimised.
  virtual void MinimizeWindow();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceClientArea();
  void SetHovered(kalimo::skin::FrameButton button);
  void ShowButtonToolTip();
  void HideButtonToolTip();
  void ToggleMaximized();
  void StartMove(const QPoint& globalPoint);
  void StartResize(Qt::Edges edges, const QPoint& globalPoint);
  void PaintFrame(QPainter& painter) const;
  void PaintButtons(QPainter& painter) const;
  void UpdateCursor(const QPoint& windowPoint);

  QWidget* clientArea_ = nullptr;
  QPixmap skin_;
  QPixmap icon_;
  bool showIcon_;
  unsigned boxes_;
  bool active_ = true;
  kalimo::skin::FrameButton hovered_ = kalimo::skin::FrameButton::kNone;
  QTimer toolTipTimer_;
  QMenu* systemMenu_ = nullptr;
  // Moving or resizing by ourselves, where the window system offers neither.
  enum class Drag { kNone, kMove, kResize } drag_ = Drag::kNone;
  Qt::Edges dragEdges_;
  QPoint dragStartGlobal_;
  QRect dragStartGeometry_;
};
