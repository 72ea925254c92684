#pragma once
// The group name dialog ("组编辑对话框") for a new group or a rename: refuses an empty name and a
// name another group already has (compared exactly, so letter case makes a new name).
#include <QDialog>
#include <functional>

class QLineEdit;

class CDialogOfGroup : public QDialog {
  Q_OBJECT

 public:
  // `initialName`: empty for a new group, the old name for a rename. `groupExists` asks the panel.
  CDialogOfGroup(const QString& initialName, std::function<bool(const QString&)> groupExists,
                 QWidget* parent = nullptr);

  // The accepted name (the initial one until "确定" accepted another).
  QString Name() const { return name_; }
  QLineEdit* NameEdit() const { return edit_; }

 public slots:
  void OnOk();

 private:
  QString initialName_;
  QString name_;
  std::function<bool(const QString&)> groupExists_;
  QLineEdit* edit_;
};
