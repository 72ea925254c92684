#pragma once
// The main window's tab strip, painted by us in draw style 1: the selected tab white in a grey
// frame, the others light grey (darker under the pointer), texts centred and cut to 15 characters.
// Tabs keep the tab bar's accessibility: page tabs named by their text.
#include <QTabBar>

class CTabCtrlEx : public QTabBar {
  Q_OBJECT

 public:
  explicit CTabCtrlEx(QWidget* parent = nullptr);

  // 1 selects our painting; before that (-1) the strip draws nothing.
  void SetDrawStyle(int style);
  int DrawStyle() const { return drawStyle_; }
  // Every tab gets this width (fixed-width tabs); 0 sizes tabs by their text.
  void SetFixedTabWidth(int width);
  int HoveredTab() const { return hovered_; }

  static constexpr int kTabHeight = 24;

 protected:
  void paintEvent(QPaintEvent* event) override;
  QSize tabSizeHint(int index) const override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int drawStyle_ = -1;
  int fixedTabWidth_ = 0;
  int hovered_ = -1;
};
