#include "windows/screen/CDlgOfRecordOption.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "components/ScreenCaptureApi.h"

CDlgOfRecordOption::CDlgOfRecordOption(QWidget* parent) : QDialog(parent), regions_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("录制选择框"));
  auto* layout = new QVBoxLayout(this);
  auto* area = new QRadioButton(QStringLiteral("录制区域"));
  auto* window = new QRadioButton(QStringLiteral("选择窗口"));
  auto* screen = new QRadioButton(QStringLiteral("选择屏幕(按ESC退出)"));
  window->setEnabled(false);
  regions_->addButton(area, kRegionArea);
  regions_->addButton(window, kRegionWindow);
  regions_->addButton(screen, kRegionWholeScreen);
  area->setChecked(true);
  for (QRadioButton* button : {area, window, screen}) layout->addWidget(button);
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

int CDlgOfRecordOption::RegionMode() const { return regions_->checkedId(); }
