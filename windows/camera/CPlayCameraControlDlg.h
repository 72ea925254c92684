#pragma once
// The camera window's control bar: "拍照" (1001), "录影" (1009, then "停止录像"/"录像"),
// "录像/照片在这里，请点" (1014) and "参数设置" (1019). It owns the two flags the camera's frame
// step reads on the streaming thread (a photo asked for, a recording running) and takes that
// thread's notices as queued signals, so the streaming thread never touches a widget.
#include <QWidget>
#include <functional>
#include <string>

#include "recording/Recorder.h"
#include "windows/camera/CameraControlNoticePoster.h"

class QPushButton;

class CPlayCameraControlDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CPlayCameraControlDlg(QWidget* parent = nullptr);
  // A running recording is finished without a question: its movie is complete on disk.
  ~CPlayCameraControlDlg() override;

  // The flags and notices the camera's frame step works with.
  kalimo::CameraControlState& ControlState() { return state_; }
  // Follows the camera window's last OpenCamera.
  void SetCameraOpen(bool open) { cameraOpen_ = open; }
  bool IsCameraOpen() const { return cameraOpen_; }
  bool IsRecording() const { return state_.recordingFlag.load() != 0; }
  bool IsPhotoPending() const { return state_.snapshotRequestFlag.load() != 0; }

  // Asked before the camera window closes: true when no recording runs, or when the user agrees
  // to stop it ("正在录影中，是否要退出系统"); the movie is then finished without the playlist question.
  bool MayClose();
  // Stops a running recording without any question (the camera window goes away).
  void FinishRecording();

  // How the storage folder is opened (the desktop's file browser by default; false on failure).
  void SetFolderOpener(std::function<bool(const QString& folder)> opener) { openFolder_ = std::move(opener); }

  QPushButton* PhotoButton() const { return photoButton_; }
  QPushButton* RecordButton() const { return recordButton_; }
  QPushButton* FolderButton() const { return folderButton_; }
  QPushButton* SettingsButton() const { return settingsButton_; }

  static constexpr const char* kRecordCaption = "录像";
  static constexpr const char* kStopRecordCaption = "停止录像";
  static constexpr const char* kNoCameraForPhotoText = "摄像头没有打开，不能拍照";
  static constexpr const char* kCloseWhileRecordingQuestion = "正在录影中，是否要退出系统";

 signals:
  // "参数设置": the window that owns the settings dialog shows it.
  void SettingsRequested();

 private:
  void OnPhoto();
  void OnPhotoFinished();
  void OnRecord();
  void OnRecordingFailed();
  void OnStorageFolder();
  std::string StopRecordingNow();
  void SetIdleButtons();

  kalimo::CameraControlNoticePoster poster_;
  kalimo::CameraControlState state_;
  bool cameraOpen_ = false;
  QPushButton* photoButton_;
  QPushButton* recordButton_;
  QPushButton* folderButton_;
  QPushButton* settingsButton_;
  std::function<bool(const QString&)> openFolder_;
};
