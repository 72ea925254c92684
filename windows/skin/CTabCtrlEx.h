#pragma once
// The main window's tab strip, painted by us in draw style 1: the selected tab white in a grey
// frame, the others light grey (darker under the pointer), texts centred and cut to 15 characters.
// Tabs keep the tab bar's accessibility: page tabs named by their text.
#include <QList>
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
  // The tabs' height, and (for fixed-width tabs) their width; the main window asks for 32 x 32.
  void SetItemSize(const QSize& size);
  // No tab is narrower than this, whatever its width would be otherwise.
  void SetMinTabWidth(int width);
  // The tab's highlighted state. Our own painting (style 1) draws every tab by the same rules, so
  // the state shows only to code and assistive technology that asks for it.
  void HighlightItem(int index, bool highlighted);
  bool IsHighlighted(int index) const { return highlighted_.contains(index); }
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
  int itemHeight_ = kTabHeight;
  int minTabWidth_ = 0;
  QList<int> highlighted_;
  int hovered_ = -1;
};
