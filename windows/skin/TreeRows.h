#pragma once
// The items of the video group tree and the rows they make: groups (no item data) are 30 pixels
// high, videos (item data set) 40; an expanded item's children follow it. Plain C++, so the row
// rules are tested without a widget.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kalimo::skin {

struct TreeNode {
  std::string text;       // UTF-8
  std::uintptr_t data = 0;  // item data: 0 for a group, non-zero for a video
  int picture = -1;       // number of the item's bitmap, -1 for none
  bool expanded = false;
  TreeNode* parent = nullptr;  // null for a root item
  std::vector<std::unique_ptr<TreeNode>> children;
};

class TreeRows {
 public:
  static constexpr int kGroupRowHeight = 30;
  static constexpr int kVideoRowHeight = 40;

  // Appends an item under `parent` (null: a root item) and returns it.
  TreeNode* Insert(std::string text, TreeNode* parent, int picture, std::uintptr_t data);
  // Removes the item and its children; false when it is not in the tree.
  bool Remove(const TreeNode* node);
  bool Contains(const TreeNode* node) const;
  void RemoveAll() { roots_.clear(); }

  const std::vector<std::unique_ptr<TreeNode>>& Roots() const { return roots_; }

  // The items in display order: each root, followed by its children when expanded, recursively.
  std::vector<TreeNode*> Rows() const;
  static int RowHeight(const TreeNode& node) { return node.data ? kVideoRowHeight : kGroupRowHeight; }
  int TotalHeight() const;
  // The row whose band holds client row `y` when the rows are scrolled by `scroll` pixels; null
  // below the last row (and above the first).
  TreeNode* RowAt(int y, int scroll) const;
  // The top of the item's row in unscrolled coordinates, or -1 when the item shows no row.
  int RowTop(const TreeNode* node) const;

 private:
  std::vector<std::unique_ptr<TreeNode>> roots_;
};

}  // namespace kalimo::skin
