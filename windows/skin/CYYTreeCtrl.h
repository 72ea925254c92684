#pragma once
// The video group tree: groups and their videos, painted by us in rows of 30 (group) and 40
// (video) pixels, with the item pictures, the group glyphs and the selection colours, scrolled in
// 50-pixel steps. Clicks select (and open or close a group); a double click and a right click are
// passed on to the owner as signals.
#include <QAbstractScrollArea>
#include <QPixmap>
#include <functional>
#include <map>

#include "windows/skin/TreeRows.h"

class CYYTreeCtrl : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using Item = kalimo::skin::TreeNode*;

  explicit CYYTreeCtrl(QWidget* parent = nullptr);
  ~CYYTreeCtrl() override;

  // Inserts an item under `parent` (null: a root item) with the numbered bitmap as its picture.
  // Item data 0 makes a group row, anything else a video row.
  Item InsertItemWithPicture(const QString& text, Item parent, int pictureNumber, std::uintptr_t itemData = 0);
  void SetItemPicture(Item item, int pictureNumber);
  void DeleteTreeItem(Item item);
  void DeleteAllItems();
  // Opens or closes a group without any notification; rows and scroll range follow.
  void Expand(Item item, bool expanded);
  // Builds the glyph list from bitmaps 161 (collapsed) and 162 (expanded) when both exist and
  // have the same size; otherwise the list stays empty and no glyphs are drawn.
  void LoadGlyphs();
  bool HasGlyphs() const { return !glyphs_[0].isNull(); }

  Item GetSelectedItem() const { return selected_; }
  void SelectItem(Item item);
  const kalimo::skin::TreeRows& Items() const { return items_; }
  static QString ItemText(const kalimo::skin::TreeNode& item) { return QString::fromStdString(item.text); }

  // Asked for each video row: true when the item is its group's seamless video, which then shows
  // "衔接视频" at the right end of its row.
  void SetSeamlessQuery(std::function<bool(Item)> isSeamlessItem) { isSeamlessItem_ = std::move(isSeamlessItem); }

  // The vertical scroll range ends at the larger of the rows' total height and the client height.
  int ScrollRangeMaximum() const;
  int ScrollPosition() const;
  // The row's rectangle in viewport coordinates (empty when the item shows no row).
  QRect RowRect(Item item) const;

  // What a left or right click on the row does (also run by assistive technology).
  void ClickRow(Item item);
  void RightClickRow(Item item);

  static constexpr int kScrollStep = 50;

 public slots:
  // Recomputes the scroll range (after the owner filled the tree).
  void RefreshScrollRange();

 signals:
  // A double click: the owner plays the current item.
  void ItemDoubleClicked();
  // A right click has selected a row (or cleared the selection below the last one); delivered
  // queued, after the click is done, so the owner may open its context menu.
  void ItemRightClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void RowsChanged();
  void PaintRow(QPainter& painter, const kalimo::skin::TreeNode& row, const QRect& rect) const;
  QPixmap PictureOf(int pictureNumber);

  kalimo::skin::TreeRows items_;
  Item selected_ = nullptr;
  std::map<int, QPixmap> pictures_;  // by bitmap number, white drawn transparent
  QPixmap glyphs_[2];                // collapsed, expanded; magenta drawn transparent
  std::function<bool(Item)> isSeamlessItem_;
};
