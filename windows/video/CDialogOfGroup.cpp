#include "windows/video/CDialogOfGroup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

CDialogOfGroup::CDialogOfGroup(const QString& initialName, std::function<bool(const QString&)> groupExists,
                               QWidget* parent)
    : QDialog(parent), initialName_(initialName), name_(initialName), groupExists_(std::move(groupExists)) {
  setObjectName("163");
  setWindowTitle("组编辑对话框");
  auto* label = new QLabel("分组名称：");
  edit_ = new QLineEdit(initialName);
  edit_->setObjectName("1091");
  edit_->setAccessibleName("分组名称：");
  label->setBuddy(edit_);
  auto* ok = new QPushButton("确定");
  ok->setObjectName("1002");
  ok->setDefault(true);
  auto* cancel = new QPushButton("取消");
  cancel->setObjectName("1001");
  connect(ok, &QPushButton::clicked, this, &CDialogOfGroup::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(edit_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addLayout(buttons);
}

void CDialogOfGroup::OnOk() {
  const QString typed = edit_->text();
  if (typed.isEmpty()) {
    QMessageBox::information(this, QString(), "列表名称不能为空");
    return;
  }
  if (typed != initialName_ && groupExists_ && groupExists_(typed)) {
    name_ = initialName_;
    QMessageBox::information(this, QString(), "组名称已经存在，不能重复添加");
    return;
  }
  name_ = typed;
  accept();
}
