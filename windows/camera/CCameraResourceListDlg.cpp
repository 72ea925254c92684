#include "windows/camera/CCameraResourceListDlg.h"

#include <QBitmap>
#include <QListWidget>
#include <QMetaObject>

#include "windows/camera/CWindowPlayingCamera.h"
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
  // Watching first: a camera plugged in while the list is made is then listed again.
  watch_ = std::make_unique<kalimo::media::CameraDeviceWatch>([this] { CamerasChanged(); });
  FillCameraList();
  if (list_->count() > 0) owner_.OpenCamera(0);
}

// On a device provider's thread.
void CCameraResourceListDlg::CamerasChanged() {
  if (listingQueued_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        listingQueued_.store(false);
        FillCameraList();
      },
      Qt::QueuedConnection);
}

void CCameraResourceListDlg::FillCameraList() {
  const QListWidgetItem* selected = list_->currentItem();
  const QString selectedName = selected && selected->isSelected() ? selected->text() : QString();
  list_->clear();
  const QIcon icon = CameraIcon();
  for (const std::string& name : owner_.CameraNames()) {
    auto* item = new QListWidgetItem(icon, QString::fromStdString(name));
    list_->addItem(item);
    if (!selectedName.isEmpty() && item->text() == selectedName && !list_->currentItem()) list_->setCurrentItem(item);
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
