#include "shell/settings/CSettingDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Logging.h"
#include "common/Messages.h"
#include "library/settings/SettingParams.h"
#include "platform/RegistryStore.h"
#include "shell/settings/CameraDeviceEntry.h"

namespace kalimo {

namespace {
QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Assistive technology (and the tests) find every control by its caption: buttons and boxes by
// their own text, edits by the label whose buddy they are.
QLineEdit* ReadOnlyEdit() {
  auto* edit = new QLineEdit;
  edit->setReadOnly(true);
  return edit;
}

QCheckBox* ChoiceBox(const QString& caption, std::optional<bool> value, bool& was) {
  auto* box = new QCheckBox(caption);
  was = value.value_or(false);
  box->setChecked(was);
  // Without a device entry (the camera is not registered) there is nothing to change.
  box->setEnabled(value.has_value());
  return box;
}
}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Setting");

  auto* cameraGroup = new QGroupBox("Kalimo设置：");
  auto* cameraGrid = new QGridLayout(cameraGroup);
  nameEdit_ = new QLineEdit;
  auto* nameLabel = new QLabel("虚拟摄像头名称：");
  nameLabel->setBuddy(nameEdit_);
  cameraGrid->addWidget(nameLabel, 0, 0);
  cameraGrid->addWidget(nameEdit_, 0, 1);
  cameraGrid->addWidget(new QLabel("可修改成其他的名称"), 1, 1);
  lowLatencyBox_ = ChoiceBox("低延迟：应用程序立即收到最新的画面", ReadCameraChoice(platform::kLowLatencyValue),
                             lowLatencyWas_);
  keepAspectBox_ = ChoiceBox("保持画面比例（不拉伸）", ReadCameraChoice(platform::kKeepAspectValue), keepAspectWas_);
  cameraGrid->addWidget(lowLatencyBox_, 2, 1);
  cameraGrid->addWidget(keepAspectBox_, 3, 1);

  auto* storageGroup = new QGroupBox("存放路径:");
  auto* storageGrid = new QGridLayout(storageGroup);
  rootEdit_ = new QLineEdit;
  auto* browse = new QPushButton("游览");
  movieFolderEdit_ = ReadOnlyEdit();
  photoFolderEdit_ = ReadOnlyEdit();
  const std::pair<const char*, QLineEdit*> rows[] = {
      {"存储位置：", rootEdit_}, {"录像的存储位置：", movieFolderEdit_}, {"照片的存储位置：", photoFolderEdit_}};
  int row = 0;
  for (const auto& [caption, edit] : rows) {
    auto* label = new QLabel(caption);
    label->setBuddy(edit);
    storageGrid->addWidget(label, row, 0);
    // The folders that follow from the root are read in full: they take the browse button's room too.
    storageGrid->addWidget(edit, row, 1, 1, edit == rootEdit_ ? 1 : 2);
    ++row;
  }
  storageGrid->addWidget(browse, 0, 2);
  storageGrid->addWidget(new QLabel("备注：系统自动在存储位置的目录添加 Kalimo 文件夹"), row, 0, 1, 3);

  auto* ok = new QPushButton("确定");
  auto* cancel = new QPushButton("取消");
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(cameraGroup);
  layout->addWidget(storageGroup);
  layout->addLayout(buttons);
  resize(520, sizeHint().height());

  connect(browse, &QPushButton::clicked, this, &CSettingDlg::Browse);
  connect(ok, &QPushButton::clicked, this, &CSettingDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CSettingDlg::reject);

  CreateSettingParams();
  ShowRoot(Text(GetCurrentSettings().resourcesPath));
  nameEdit_->setText(Text(ReadCameraFriendlyName().value_or(CameraName())));
}

void CSettingDlg::ShowRoot(const QString& path) {
  SettingValues scratch;
  SetStorageRoot(scratch, path.toStdString());
  rootEdit_->setText(path);
  movieFolderEdit_->setText(Text(GetMovieFolder(scratch)));
  photoFolderEdit_->setText(Text(GetPhotoFolder(scratch)));
}

void CSettingDlg::Browse() {
  const QString folder = QFileDialog::getExistingDirectory(nullptr, "所选择路径:   ");
  if (!folder.isEmpty()) ShowRoot(folder);
}

void CSettingDlg::accept() {
  SettingValues values = GetCurrentSettings();
  SetStorageRoot(values, rootEdit_->text().toStdString());
  if (!SaveSettings(values)) ShowWarning("设置无法保存到 " + GetConfigPath());

  // Compared with the configured name, not with the entry: the configured name is what the camera
  // is called until the user renames it.
  const std::string name = nameEdit_->text().toStdString();
  if (name != CameraName()) WriteCameraFriendlyName(name);
  if (lowLatencyBox_->isChecked() != lowLatencyWas_) {
    WriteCameraChoice(platform::kLowLatencyValue, lowLatencyBox_->isChecked());
  }
  if (keepAspectBox_->isChecked() != keepAspectWas_) WriteCameraChoice(platform::kKeepAspectValue, keepAspectBox_->isChecked());
  QDialog::accept();
}

void OpenSettingDialog(QWidget* parent) {
  CSettingDlg dialog(parent);
  dialog.exec();
}

}  // namespace kalimo
