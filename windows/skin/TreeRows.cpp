#include "windows/skin/TreeRows.h"

#include <algorithm>

namespace kalimo::skin {
namespace {

void AppendRows(const std::vector<std::unique_ptr<TreeNode>>& items, std::vector<TreeNode*>& rows) {
  for (const auto& item : items) {
    rows.push_back(item.get());
    if (item->expanded) AppendRows(item->children, rows);
  }
}

bool ContainsIn(const std::vector<std::unique_ptr<TreeNode>>& items, const TreeNode* node) {
  return std::any_of(items.begin(), items.end(),
                     [node](const auto& item) { return item.get() == node || ContainsIn(item->children, node); });
}

}  // namespace

TreeNode* TreeRows::Insert(std::string text, TreeNode* parent, int picture, std::uintptr_t data) {
  auto node = std::make_unique<TreeNode>();
  node->text = std::move(text);
  node->picture = picture;
  node->data = data;
  node->parent = parent;
  auto& siblings = parent ? parent->children : roots_;
  siblings.push_back(std::move(node));
  return siblings.back().get();
}

bool TreeRows::Contains(const TreeNode* node) const { return node && ContainsIn(roots_, node); }

bool TreeRows::Remove(const TreeNode* node) {
  if (!Contains(node)) return false;
  auto& siblings = node->parent ? node->parent->children : roots_;
  std::erase_if(siblings, [node](const auto& item) { return item.get() == node; });
  return true;
}

std::vector<TreeNode*> TreeRows::Rows() const {
  std::vector<TreeNode*> rows;
  AppendRows(roots_, rows);
  return rows;
}

int TreeRows::TotalHeight() const {
  int total = 0;
  for (const TreeNode* row : Rows()) total += RowHeight(*row);
  return total;
}

TreeNode* TreeRows::RowAt(int y, int scroll) const {
  int top = -scroll;
  for (TreeNode* row : Rows()) {
    const int bottom = top + RowHeight(*row);
    if (y >= top && y < bottom) return row;
    top = bottom;
  }
  return nullptr;
}

int TreeRows::RowTop(const TreeNode* node) const {
  int top = 0;
  for (const TreeNode* row : Rows()) {
    if (row == node) return top;
    top += RowHeight(*row);
  }
  return -1;
}

}  // namespace kalimo::skin
