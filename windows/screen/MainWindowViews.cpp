#include "windows/screen/MainWindowViews.h"

namespace {
void SetVisible(const MainWindowViews& views, bool visible) {
  for (QWidget* window : {views.mainWindow.data(), views.resourcePanel.data(), views.playingWindow.data()})
    if (window) window->setVisible(visible);
  if (views.setPictureButtonTip)
    views.setPictureButtonTip(QString::fromUtf8(visible ? kHidePictureWindowTip : kShowPictureWindowTip));
}
}  // namespace

void HideForCapture(const MainWindowViews& views) { SetVisible(views, false); }
void ShowAfterCapture(const MainWindowViews& views) { SetVisible(views, true); }
