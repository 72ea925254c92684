#include "windows/camera/CPlayCameraControlDlg.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>

#include "common/Messages.h"
#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"

namespace {

QPushButton* MakeButton(const char* caption, const char* objectName, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromUtf8(objectName));
  return button;
}

}  // namespace

CPlayCameraControlDlg::CPlayCameraControlDlg(QWidget* parent)
    : QWidget(parent),
      photoButton_(MakeButton("拍照", "1001", this)),
      recordButton_(MakeButton("录影", "1009", this)),
      folderButton_(MakeButton("录像/照片在这里，请点", "1014", this)),
      settingsButton_(MakeButton("参数设置", "1019", this)),
      openFolder_([](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }) {
  state_.notices = &poster_;
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 6, 4, 6);
  layout->setSpacing(3);
  for (QPushButton* button : {photoButton_, recordButton_, folderButton_, settingsButton_}) layout->addWidget(button);
  layout->addStretch();
  setAutoFillBackground(true);

  connect(photoButton_, &QPushButton::clicked, this, &CPlayCameraControlDlg::OnPhoto);
  connect(recordButton_, &QPushButton::clicked, this, &CPlayCameraControlDlg::OnRecord);
  connect(folderButton_, &QPushButton::clicked, this, &CPlayCameraControlDlg::OnStorageFolder);
  connect(settingsButton_, &QPushButton::clicked, this, &CPlayCameraControlDlg::SettingsRequested);
  // The poster lives on this thread: its signals arrive here queued from the streaming thread.
  connect(&poster_, &kalimo::CameraControlNoticePoster::snapshotFinished, this,
          &CPlayCameraControlDlg::OnPhotoFinished, Qt::QueuedConnection);
  connect(&poster_, &kalimo::CameraControlNoticePoster::recordedFrameFailed, this,
          &CPlayCameraControlDlg::OnRecordingFailed, Qt::QueuedConnection);
}

CPlayCameraControlDlg::~CPlayCameraControlDlg() {
  FinishRecording();
  state_.notices = nullptr;
}

void CPlayCameraControlDlg::SetIdleButtons() {
  photoButton_->setEnabled(true);
  recordButton_->setEnabled(true);
  settingsButton_->setEnabled(true);
}

void CPlayCameraControlDlg::OnPhoto() {
  if (!cameraOpen_) {
    kalimo::PresentMessage({"Kalimo", kNoCameraForPhotoText, kalimo::UserMessage::Icon::Warning, false});
    return;
  }
  // Disabled until the photo is written: a second press cannot ask for a second photo.
  photoButton_->setEnabled(false);
  recordButton_->setEnabled(false);
  settingsButton_->setEnabled(false);
  state_.snapshotRequestFlag = 1;
}

void CPlayCameraControlDlg::OnPhotoFinished() {
  state_.snapshotRequestFlag = 0;
  SetIdleButtons();
}

void CPlayCameraControlDlg::OnRecord() {
  if (!IsRecording()) {
    if (!kalimo::StartRecording(state_, cameraOpen_)) return;
    recordButton_->setText(QString::fromUtf8(kStopRecordCaption));
    photoButton_->setEnabled(false);
    settingsButton_->setEnabled(false);
    return;
  }
  kalimo::OfferRecordingToVideoList(StopRecordingNow());
}

std::string CPlayCameraControlDlg::StopRecordingNow() {
  std::string path = kalimo::StopRecording(state_);
  recordButton_->setText(QString::fromUtf8(kRecordCaption));
  SetIdleButtons();
  return path;
}

void CPlayCameraControlDlg::OnRecordingFailed() {
  // The writer has said what went wrong; the movie is not offered for the playlist.
  if (IsRecording()) StopRecordingNow();
}

void CPlayCameraControlDlg::FinishRecording() {
  if (IsRecording()) StopRecordingNow();
}

bool CPlayCameraControlDlg::MayClose() {
  if (!IsRecording()) return true;
  if (!kalimo::AskQuestion(kCloseWhileRecordingQuestion)) return false;
  StopRecordingNow();
  return true;
}

void CPlayCameraControlDlg::OnStorageFolder() {
  // A fresh program has not made its folders yet; an absent folder cannot be shown.
  if (!kalimo::StorageFoldersPrepared()) kalimo::PrepareStorageFolders();
  const std::string folder = kalimo::GetCurrentSettings().storageFolder;
  if (!openFolder_(QString::fromStdString(folder))) kalimo::ShowWarning("Can’t ShellExecute\n");
}
