#include "windows/skin/SkinAccessibility.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <map>

#include "windows/skin/CColorTitleDlg.h"
#include "windows/skin/CYYTreeCtrl.h"
#include "windows/skin/SkinPainting.h"

namespace {

using kalimo::skin::FrameButton;

QRect ToGlobal(const QWidget* widget, const QRect& local) {
  return QRect(widget->mapToGlobal(local.topLeft()), local.size());
}

// A part of a widget without a widget of its own: a caption button or a tree row.
class PaintedPartAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  explicit PaintedPartAccessible(QAccessibleInterface* parentInterface) : parent_(parentInterface) {}
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return parent_->window(); }
  QAccessibleInterface* parent() const override { return parent_; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}
  QStringList keyBindingsForAction(const QString&) const override { return {}; }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }

 private:
  QAccessibleInterface* parent_;
};

class CaptionButtonAccessible : public PaintedPartAccessible {
 public:
  CaptionButtonAccessible(QAccessibleInterface* parentInterface, CColorTitleDlg* dialog, FrameButton button)
      : PaintedPartAccessible(parentInterface), dialog_(dialog), button_(button) {}
  bool isValid() const override { return dialog_; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && dialog_ ? dialog_->ButtonToolTip(button_) : QString();
  }
  QRect rect() const override {
    if (!dialog_) return {};
    return ToGlobal(dialog_, kalimo::skin::ToQRect(kalimo::skin::RectOf(dialog_->ButtonRects(), button_)));
  }
  QAccessible::Role role() const override { return QAccessible::Button; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.invisible = !dialog_ || !dialog_->isVisible();
    s.hotTracked = dialog_ && dialog_->HoveredButton() == button_;
    return s;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction() && dialog_) dialog_->PressFrameButton(button_);
  }

 private:
  QPointer<CColorTitleDlg> dialog_;
  FrameButton button_;
};

// The skinned window: its widgets' children plus, first, its caption buttons.
class SkinnedWindowAccessible : public QAccessibleWidget {
 public:
  explicit SkinnedWindowAccessible(CColorTitleDlg* dialog) : QAccessibleWidget(dialog, QAccessible::Dialog) {}
  ~SkinnedWindowAccessible() override {
    for (const auto& [button, id] : buttonIds_) QAccessible::deleteAccessibleInterface(id);
  }
  int childCount() const override { return int(Buttons().size()) + QAccessibleWidget::childCount(); }
  QAccessibleInterface* child(int index) const override {
    const std::vector<FrameButton> buttons = Buttons();
    if (index < 0) return nullptr;
    if (index < int(buttons.size())) return ButtonInterface(buttons[index]);
    return QAccessibleWidget::child(index - int(buttons.size()));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const std::vector<FrameButton> buttons = Buttons();
    for (int i = 0; i < int(buttons.size()); ++i) {
      if (ButtonInterface(buttons[i]) == child) return i;
    }
    const int index = QAccessibleWidget::indexOfChild(child);
    return index < 0 ? -1 : index + int(buttons.size());
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = Dialog()->mapFromGlobal(QPoint(x, y));
    const FrameButton button = kalimo::skin::ButtonAt(Dialog()->ButtonRects(), local.x(), local.y());
    if (button != FrameButton::kNone) return ButtonInterface(button);
    return QAccessibleWidget::childAt(x, y);
  }

 private:
  CColorTitleDlg* Dialog() const { return static_cast<CColorTitleDlg*>(widget()); }
  std::vector<FrameButton> Buttons() const {
    std::vector<FrameButton> buttons;
    if (!Dialog()->ButtonRects().minimize.IsEmpty()) buttons.push_back(FrameButton::kMinimize);
    if (!Dialog()->ButtonRects().maximize.IsEmpty()) buttons.push_back(FrameButton::kMaximize);
    buttons.push_back(FrameButton::kClose);
    return buttons;
  }
  QAccessibleInterface* ButtonInterface(FrameButton button) const {
    auto found = buttonIds_.find(button);
    if (found == buttonIds_.end()) {
      auto* iface = new CaptionButtonAccessible(const_cast<SkinnedWindowAccessible*>(this), Dialog(), button);
      found = buttonIds_.emplace(button, QAccessible::registerAccessibleInterface(iface)).first;
    }
    return QAccessible::accessibleInterface(found->second);
  }
  mutable std::map<FrameButton, QAccessible::Id> buttonIds_;
};

class TreeRowAccessible : public PaintedPartAccessible {
 public:
  TreeRowAccessible(QAccessibleInterface* parentInterface, CYYTreeCtrl* tree, CYYTreeCtrl::Item item)
      : PaintedPartAccessible(parentInterface), tree_(tree), item_(item) {}
  bool isValid() const override { return tree_ && tree_->Items().Contains(item_); }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? CYYTreeCtrl::ItemText(*item_) : QString();
  }
  QRect rect() const override {
    return isValid() ? ToGlobal(tree_->viewport(), tree_->RowRect(item_)) : QRect();
  }
  QAccessible::Role role() const override { return QAccessible::TreeItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid()) {
      s.invalid = true;
      return s;
    }
    s.selectable = true;
    s.selected = tree_->GetSelectedItem() == item_;
    const bool group = item_->data == 0;
    s.expandable = group;
    s.expanded = group && item_->expanded;
    s.collapsed = group && !item_->expanded;
    return s;
  }
  QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
  void doAction(const QString& action) override {
    if (!isValid()) return;
    if (action == pressAction()) tree_->ClickRow(item_);
    if (action == showMenuAction()) tree_->RightClickRow(item_);
  }
  CYYTreeCtrl::Item Item() const { return item_; }

 private:
  QPointer<CYYTreeCtrl> tree_;
  CYYTreeCtrl::Item item_;
};

// The tree: one child per row, in display order.
class TreeAccessible : public QAccessibleWidget {
 public:
  explicit TreeAccessible(CYYTreeCtrl* tree) : QAccessibleWidget(tree, QAccessible::Tree) {}
  ~TreeAccessible() override {
    for (const auto& [item, id] : rowIds_) QAccessible::deleteAccessibleInterface(id);
  }
  int childCount() const override { return int(Tree()->Items().Rows().size()); }
  QAccessibleInterface* child(int index) const override {
    const auto rows = Tree()->Items().Rows();
    if (index < 0 || index >= int(rows.size())) return nullptr;
    return RowInterface(rows[index]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto rows = Tree()->Items().Rows();
    for (int i = 0; i < int(rows.size()); ++i) {
      if (auto found = rowIds_.find(rows[i]); found != rowIds_.end() &&
                                               QAccessible::accessibleInterface(found->second) == child) {
        return i;
      }
    }
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = Tree()->viewport()->mapFromGlobal(QPoint(x, y));
    CYYTreeCtrl::Item row = Tree()->Items().RowAt(local.y(), Tree()->ScrollPosition());
    return row ? RowInterface(row) : nullptr;
  }

 private:
  CYYTreeCtrl* Tree() const { return static_cast<CYYTreeCtrl*>(widget()); }
  QAccessibleInterface* RowInterface(CYYTreeCtrl::Item item) const {
    // Rows of deleted items are forgotten first, so their interfaces do not pile up.
    std::erase_if(rowIds_, [this](const auto& entry) {
      if (Tree()->Items().Contains(entry.first)) return false;
      QAccessible::deleteAccessibleInterface(entry.second);
      return true;
    });
    auto found = rowIds_.find(item);
    if (found == rowIds_.end()) {
      auto* iface = new TreeRowAccessible(const_cast<TreeAccessible*>(this), Tree(), item);
      found = rowIds_.emplace(item, QAccessible::registerAccessibleInterface(iface)).first;
    }
    return QAccessible::accessibleInterface(found->second);
  }
  mutable std::map<CYYTreeCtrl::Item, QAccessible::Id> rowIds_;
};

// Called for each class name of the object's hierarchy; the object itself decides.
QAccessibleInterface* SkinAccessibleFactory(const QString&, QObject* object) {
  if (auto* dialog = qobject_cast<CColorTitleDlg*>(object)) return new SkinnedWindowAccessible(dialog);
  if (auto* tree = qobject_cast<CYYTreeCtrl*>(object)) return new TreeAccessible(tree);
  return nullptr;
}

}  // namespace

namespace kalimo::skin {

void InstallSkinAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(SkinAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace kalimo::skin
