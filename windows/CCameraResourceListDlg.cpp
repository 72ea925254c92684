#include "windows/CCameraResourceListDlg.h"

#include <QBitmap>
#include <QListWidget>

#include "windows/CWindowPlayingCamera.h"
#include "windows/skin/SkinResources.h"

namespace {

// The list's camera picture, black taken as transparent.
QIcon CameraIcon() {
  QPixmap picture = kalimo::skin::LoadSkinBitmap(kalimo::skin::kBlankVideoPicture);
  if (picture.isNull()) return {};
  picture.setMask(picture.createMaskFromColor(Qt::black));
  return QIcon(picture);
}

}  // namespace

CCameraResourceListDlg::CCameraResourceListDlg(CWindowPlayingCamera& owner, QWidget* parent)
    : QWidget(parent), owner_(owner), list_(new QListWidget(this)) {
  list_->setObjectName(QStringLiteral("1000"));
  list_->setAccessibleName(QStringLiteral("摄像头名称"));
  list_->setIconSize(QSize(32, 32));
  connect(list_, &QListWidget::itemDoubleClicked, this, &CCameraResourceListDlg::OpenSelectedCamera);
  FillCameraList();
  if (list_->count() > 0) owner_.OpenCamera(0);
}

void CCameraResourceListDlg::FillCameraList() {
  list_->clear();
  const QIcon icon = CameraIcon();
  for (const std::string& name : owner_.CameraNames()) {
    list_->addItem(new QListWidgetItem(icon, QString::fromStdString(name)));
  }
}

void CCameraResourceListDlg::OpenSelectedCamera() {
  const int row = list_->currentRow();
  if (row < 0 || !list_->currentItem()->isSelected()) return;
  owner_.OpenCamera(row);
}

void CCameraResourceListDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  list_->setGeometry(rect());
}
