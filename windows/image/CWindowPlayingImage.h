#pragma once
// The image tab's playing window ("效果区"): a slideshow of the image list in a 4:3 picture area
// (1058), one image after another, each sent to the virtual camera in its own pixel size. A timer
// ticks once a second; the control bar says how many seconds each image stays and pauses it.
//
// An image is decoded when it becomes current (a change of the slideshow, or a different path at
// the same position after the list changed) and is then only drawn, not decoded again at every
// repaint; it goes to the camera once per decode and again whenever the window is shown after
// being hidden. While the window is hidden nothing is painted, so nothing is sent, although the
// position keeps moving on.
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "library/Slideshow.h"
#include "media/sources/ImageSource.h"
#include "windows/base/CWindowPlayingResource.h"

class CPictureControl;
class CPlayImageControlDlg;

class CWindowPlayingImage : public CWindowPlayingResource {
  Q_OBJECT

 public:
  // The image at a position of the list; a position at or past the end is set back to 0 first.
  // The image tab hands in the image list panel's GetImageAt.
  using ImageAt = std::function<std::string(std::int32_t& index)>;

  static constexpr int kTimerMs = 1000;
  static constexpr std::int32_t kFirstSecondsPerImage = 2;

  explicit CWindowPlayingImage(QWidget* owner = nullptr);

  void SetImageSource(ImageAt imageAt);

  CPlayImageControlDlg* Bar() const { return bar_; }
  CPictureControl* Picture() const { return picture_; }
  const kalimo::Slideshow& Show() const { return slideshow_; }
  QTimer& Timer() { return timer_; }
  // The path of the image decoded for the picture area (empty before the first paint).
  const QString& CurrentPath() const { return currentPath_; }
  int DecodeCount() const { return decodeCount_; }

  // One second of the slideshow (the timer calls it).
  void OnTimerTick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void PaintPicture(QPainter& painter, const QRect& target);
  void SetPaused(bool paused);

  CPictureControl* picture_;
  CPlayImageControlDlg* bar_;
  QTimer timer_;
  kalimo::Slideshow slideshow_;
  ImageAt imageAt_;
  QString currentPath_;
  std::unique_ptr<kalimo::media::ImageSource> current_;  // the slide read for the picture area
  bool currentStale_ = true;  // the slideshow moved on: decode again even for the same path
  bool currentSent_ = false;
  int decodeCount_ = 0;
};
