#include "windows/skin/CTabCtrlEx.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "windows/skin/SkinPainting.h"
#include "windows/skin/TabStripGeometry.h"

namespace {

const QColor kTabFrame(153, 153, 153);
const QColor kHoveredTab(204, 204, 204);
const QColor kNormalTab(243, 243, 243);

kalimo::skin::FrameRect ToFrameRect(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }

}  // namespace

CTabCtrlEx::CTabCtrlEx(QWidget* parent) : QTabBar(parent) {
  setMouseTracking(true);
  setDrawBase(false);
  setExpanding(false);
  setElideMode(Qt::ElideNone);
}

void CTabCtrlEx::SetDrawStyle(int style) {
  drawStyle_ = style;
  update();
}

void CTabCtrlEx::SetFixedTabWidth(int width) {
  fixedTabWidth_ = width;
  // The bar measures its tabs again when their text changes.
  for (int i = 0; i < count(); ++i) setTabText(i, tabText(i));
}

void CTabCtrlEx::SetItemSize(const QSize& size) {
  itemHeight_ = size.height();
  if (fixedTabWidth_ > 0) fixedTabWidth_ = size.width();
  SetFixedTabWidth(fixedTabWidth_);
}

void CTabCtrlEx::SetMinTabWidth(int width) {
  minTabWidth_ = width;
  SetFixedTabWidth(fixedTabWidth_);
}

void CTabCtrlEx::HighlightItem(int index, bool highlighted) {
  highlighted_.removeAll(index);
  if (highlighted) highlighted_.append(index);
}

QSize CTabCtrlEx::tabSizeHint(int index) const {
  const QString text = tabText(index).left(kalimo::skin::kTabTextLimit);
  const int width = fixedTabWidth_ > 0 ? fixedTabWidth_ : fontMetrics().horizontalAdvance(text) + 20;
  return QSize(std::max(width, minTabWidth_), itemHeight_);
}

void CTabCtrlEx::mouseMoveEvent(QMouseEvent* event) {
  const int tab = tabAt(event->position().toPoint());
  if (tab != hovered_) {
    hovered_ = tab;
    update();
  }
  QTabBar::mouseMoveEvent(event);
}

void CTabCtrlEx::leaveEvent(QEvent* event) {
  if (hovered_ != -1) {
    hovered_ = -1;
    update();
  }
  QTabBar::leaveEvent(event);
}

void CTabCtrlEx::paintEvent(QPaintEvent*) {
  if (drawStyle_ != 1) return;
  QPainter painter(this);
  const int selected = currentIndex();
  for (int i = 0; i < count(); ++i) {
    const kalimo::skin::TabPaint paint = kalimo::skin::PaintTab(ToFrameRect(tabRect(i)), i, selected, hovered_);
    painter.setPen(kTabFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kalimo::skin::ToQRect(paint.frame).adjusted(0, 0, -1, -1));
    const QColor fill = paint.fillKind == kalimo::skin::TabFill::kSelected ? QColor(Qt::white)
                        : paint.fillKind == kalimo::skin::TabFill::kHovered ? kHoveredTab
                                                                            : kNormalTab;
    painter.fillRect(kalimo::skin::ToQRect(paint.fill), fill);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(kalimo::skin::ToQRect(paint.text), Qt::AlignCenter | Qt::TextSingleLine,
                     tabText(i).left(kalimo::skin::kTabTextLimit));
  }
}
