#pragma once
// "录制选择框": what a screen recording captures. Its value after "确定" is the region mode.
#include <QDialog>

class QButtonGroup;

class CDlgOfRecordOption : public QDialog {
  Q_OBJECT

 public:
  explicit CDlgOfRecordOption(QWidget* parent = nullptr);
  // 0: an area, 2: the whole screen (1, a window, is disabled).
  int RegionMode() const;
  QButtonGroup* Regions() const { return regions_; }

 private:
  QButtonGroup* regions_;
};
