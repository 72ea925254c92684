#pragma once
// The camera tab's panel: the real cameras in one column (1000), the virtual camera left out. The
// first camera opens when the panel opens; a double click opens another one in the camera window.
#include <QWidget>

class CWindowPlayingCamera;
class QListWidget;

class CCameraResourceListDlg : public QWidget {
  Q_OBJECT

 public:
  // `owner`, the camera window, is not owned and must outlive the panel.
  explicit CCameraResourceListDlg(CWindowPlayingCamera& owner, QWidget* parent = nullptr);

  // Lists the cameras again (the list is filled when the panel is made).
  void FillCameraList();
  QListWidget* List() const { return list_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OpenSelectedCamera();

  CWindowPlayingCamera& owner_;
  QListWidget* list_;
};
