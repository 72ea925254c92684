#pragma once
// The settings dialog: the virtual camera's name and choices, and where photos and movies go.
#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace kalimo {

class CSettingDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CSettingDlg(QWidget* parent = nullptr);

  // OK: saves the storage root, then the camera's name and choices, and closes.
  void accept() override;

 private:
  // Shows `path` as the storage root and the movie and photo folders it gives.
  void ShowRoot(const QString& path);
  void Browse();

  QLineEdit* nameEdit_ = nullptr;
  QLineEdit* rootEdit_ = nullptr;
  QLineEdit* movieFolderEdit_ = nullptr;
  QLineEdit* photoFolderEdit_ = nullptr;
  QCheckBox* lowLatencyBox_ = nullptr;
  QCheckBox* keepAspectBox_ = nullptr;
  bool lowLatencyWas_ = false;
  bool keepAspectWas_ = false;
};

// The handler of the "参数设置" buttons: shows the dialog modally.
void OpenSettingDialog(QWidget* parent);

}  // namespace kalimo
