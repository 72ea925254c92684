#include "windows/skin/CYYTreeCtrl.h"

#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "windows/skin/SkinAccessibility.h"
#include "windows/skin/SkinPainting.h"
#include "windows/skin/SkinResources.h"

namespace {

const QColor kGroupSelectionLeft(128, 160, 255);
const QColor kGroupSelectionRight(196, 220, 247);
const QColor kGroupFrameTopLeft(196, 220, 247);
const QColor kGroupFrameBottomRight(0, 220, 247);
const QColor kVideoSelection(252, 233, 160);
constexpr int kSelectionLeft = 16;
constexpr int kPictureSize = 30;
constexpr int kSeamlessTextWidth = 60;

QPixmap WithTransparentColour(QPixmap pixmap, const QColor& colour) {
  if (!pixmap.isNull()) pixmap.setMask(pixmap.createMaskFromColor(colour, Qt::MaskInColor));
  return pixmap;
}

}  // namespace

CYYTreeCtrl::CYYTreeCtrl(QWidget* parent) : QAbstractScrollArea(parent) {
  kalimo::skin::InstallSkinAccessibility();
  QFont treeFont(QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
  treeFont.setPixelSize(12);
  treeFont.setWeight(QFont::Normal);
  setFont(treeFont);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(false);
  verticalScrollBar()->setSingleStep(kScrollStep);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  RefreshScrollRange();
}

CYYTreeCtrl::~CYYTreeCtrl() = default;

QPixmap CYYTreeCtrl::PictureOf(int pictureNumber) {
  auto found = pictures_.find(pictureNumber);
  if (found == pictures_.end()) {
    found = pictures_
                .emplace(pictureNumber,
                         WithTransparentColour(kalimo::skin::LoadSkinBitmap(pictureNumber), Qt::white))
                .first;
  }
  return found->second;
}

CYYTreeCtrl::Item CYYTreeCtrl::InsertItemWithPicture(const QString& text, Item parent, int pictureNumber,
                                                     std::uintptr_t itemData) {
  if (parent && !items_.Contains(parent)) return nullptr;
  Item item = items_.Insert(text.toStdString(), parent, pictureNumber, itemData);
  PictureOf(pictureNumber);
  RowsChanged();
  return item;
}

void CYYTreeCtrl::SetItemPicture(Item item, int pictureNumber) {
  if (!items_.Contains(item)) return;
  item->picture = pictureNumber;
  PictureOf(pictureNumber);
  viewport()->update();
}

void CYYTreeCtrl::DeleteTreeItem(Item item) {
  if (!items_.Contains(item)) return;
  // The selection goes with the item, and with any of its children.
  for (Item s = selected_; s; s = s->parent) {
    if (s == item) {
      selected_ = nullptr;
      break;
    }
  }
  items_.Remove(item);
  RowsChanged();
}

void CYYTreeCtrl::DeleteAllItems() {
  selected_ = nullptr;
  items_.RemoveAll();
  RowsChanged();
}

void CYYTreeCtrl::Expand(Item item, bool expanded) {
  if (!items_.Contains(item)) return;
  item->expanded = expanded;
  RowsChanged();
}

void CYYTreeCtrl::SelectItem(Item item) {
  selected_ = items_.Contains(item) ? item : nullptr;
  viewport()->update();
}

void CYYTreeCtrl::LoadGlyphs() {
  const QPixmap collapsed = kalimo::skin::LoadSkinBitmap(kalimo::skin::kCollapsedGlyph);
  const QPixmap expanded = kalimo::skin::LoadSkinBitmap(kalimo::skin::kExpandedGlyph);
  glyphs_[0] = glyphs_[1] = QPixmap();
  if (collapsed.isNull() || expanded.isNull() || collapsed.size() != expanded.size()) return;
  glyphs_[0] = WithTransparentColour(collapsed, Qt::magenta);
  glyphs_[1] = WithTransparentColour(expanded, Qt::magenta);
  viewport()->update();
}

int CYYTreeCtrl::ScrollRangeMaximum() const {
  return std::max(items_.TotalHeight(), viewport()->height());
}

int CYYTreeCtrl::ScrollPosition() const { return verticalScrollBar()->value(); }

void CYYTreeCtrl::RefreshScrollRange() {
  const int page = viewport()->height();
  QScrollBar* bar = verticalScrollBar();
  bar->setPageStep(page);
  // The range covers max(total, client) with one page visible at a time.
  bar->setRange(0, ScrollRangeMaximum() - page);
  viewport()->update();
}

void CYYTreeCtrl::RowsChanged() {
  RefreshScrollRange();
  viewport()->update();
}

QRect CYYTreeCtrl::RowRect(Item item) const {
  const int top = items_.RowTop(item);
  if (top < 0) return {};
  return QRect(0, top - ScrollPosition(), viewport()->width(), kalimo::skin::TreeRows::RowHeight(*item));
}

void CYYTreeCtrl::ClickRow(Item item) {
  if (!item) return;
  selected_ = item;
  if (!item->data) item->expanded = !item->expanded;
  RowsChanged();
}

void CYYTreeCtrl::RightClickRow(Item item) {
  selected_ = item;
  viewport()->update();
  QMetaObject::invokeMethod(this, &CYYTreeCtrl::ItemRightClicked, Qt::QueuedConnection);
}

void CYYTreeCtrl::mousePressEvent(QMouseEvent* event) {
  Item row = items_.RowAt(event->position().toPoint().y(), ScrollPosition());
  setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton) {
    ClickRow(row);
  } else if (event->button() == Qt::RightButton) {
    RightClickRow(row);
  }
  event->accept();
}

void CYYTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  emit ItemDoubleClicked();
  viewport()->update();
  event->accept();
}

void CYYTreeCtrl::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches == 0) return;
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() - notches * kScrollStep);
  event->accept();
}

void CYYTreeCtrl::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  RefreshScrollRange();
}

void CYYTreeCtrl::scrollContentsBy(int, int) { viewport()->update(); }

void CYYTreeCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect client = viewport()->rect();
  painter.fillRect(client, palette().brush(QPalette::Base));
  painter.setFont(font());
  int top = -ScrollPosition();
  for (const Item row : items_.Rows()) {
    if (top >= client.height()) break;
    const int height = kalimo::skin::TreeRows::RowHeight(*row);
    if (top + height > 0) PaintRow(painter, *row, QRect(0, top, client.width(), height));
    top += height;
  }
}

void CYYTreeCtrl::PaintRow(QPainter& painter, const kalimo::skin::TreeNode& row, const QRect& rect) const {
  const bool selected = &row == selected_;
  const bool isVideo = row.data != 0;
  const QRect selection(rect.left() + kSelectionLeft, rect.top(), rect.width() - kSelectionLeft, rect.height());
  if (!isVideo) {
    if (selected) {
      QLinearGradient gradient(selection.topLeft(), selection.topRight());
      gradient.setColorAt(0, kGroupSelectionLeft);
      gradient.setColorAt(1, kGroupSelectionRight);
      painter.fillRect(selection, gradient);
    }
    const QPixmap& glyph = glyphs_[row.expanded ? 1 : 0];
    if (!glyph.isNull()) painter.drawPixmap(rect.left(), rect.center().y() - glyph.height() / 2 + 1, glyph);
    kalimo::skin::Draw3dRect(painter, rect, kGroupFrameTopLeft, kGroupFrameBottomRight);
  } else {
    if (selected) painter.fillRect(selection, kVideoSelection);
    const auto picture = pictures_.find(row.picture);
    const bool drawPicture = !selected || row.picture == kalimo::skin::kPlayingVideoPicture;
    if (drawPicture && picture != pictures_.end() && !picture->second.isNull()) {
      painter.drawPixmap(QRect(rect.left() + 5, rect.top() + 5, kPictureSize, kPictureSize), picture->second);
    }
  }
  QRect textArea = rect;
  if (row.picture >= 0) textArea.setLeft(rect.left() + (isVideo ? 40 : 30));
  textArea.setTop(rect.top() + rect.height() / 2 - 6);
  painter.setPen(Qt::black);
  if (isVideo && isSeamlessItem_ && isSeamlessItem_(const_cast<Item>(&row))) {
    textArea.setRight(rect.right() - kSeamlessTextWidth);
    painter.drawText(QRect(rect.right() - kSeamlessTextWidth + 1, textArea.top(), kSeamlessTextWidth, 16),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QStringLiteral("衔接视频"));
  }
  painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(ItemText(row), Qt::ElideRight, textArea.width()));
}
