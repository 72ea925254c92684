#include "windows/screen/ScreenRecording.h"

#include "windows/screen/CDlgOfRecordOption.h"
#include "windows/screen/ScreenCaptureRun.h"

ScreenRecording::ScreenRecording(MainWindowViewsLookup views, QObject* parent)
    : QObject(parent), views_(std::move(views)), run_(new ScreenCaptureRun(this)) {
  connect(run_, &ScreenCaptureRun::Finished, this, [this] {
    ShowAfterCapture(hidden_);
    hidden_ = {};
    emit Finished();
  });
}

void ScreenRecording::Run(QWidget* dialogParent) {
  CDlgOfRecordOption options(dialogParent);
  if (options.exec() != QDialog::Accepted) return;
  Start(options.RegionMode());
}

bool ScreenRecording::Start(int regionMode) {
  return run_->Begin(nullptr, regionMode, 1, [this] {
    hidden_ = views_ ? views_() : MainWindowViews{};
    HideForCapture(hidden_);
  });
}

bool ScreenRecording::IsRecording() const { return run_->IsRunning(); }
