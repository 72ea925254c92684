#pragma once
// The camera tab's panel: the real cameras in one column (1000), the virtual camera left out. The
// first camera opens when the panel opens; a double click opens another one in the camera window.
// Cameras plugged in or out while the panel is open are listed again at once (the camera window
// itself tells when its open camera is gone).
#include <QWidget>
#include <atomic>
#include <memory>

#include "media/camera/CameraDeviceWatch.h"

class CWindowPlayingCamera;
class QListWidget;

class CCameraResourceListDlg : public QWidget {
  Q_OBJECT

 public:
  // `owner`, the camera window, is not owned and must outlive the panel.
  explicit CCameraResourceListDlg(CWindowPlayingCamera& owner, QWidget* parent = nullptr);

  // Lists the cameras again, keeping the selected camera selected while it is there.
  void FillCameraList();
  QListWidget* List() const { return list_; }
  // False when no device provider reports cameras plugged in or out.
  bool IsWatchingCameras() const { return watch_->IsWatching(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OpenSelectedCamera();
  void CamerasChanged();

  CWindowPlayingCamera& owner_;
  QListWidget* list_;
  // One listing for a burst of changes: set while a listing is on its way to this thread.
  std::atomic<bool> listingQueued_{false};
  // Last, so that it stops (and calls no more) before anything else of the panel goes.
  std::unique_ptr<kalimo::media::CameraDeviceWatch> watch_;
};
