#pragma once
// The main window's parts that a screen capture hides while it runs and shows again at its end:
// the main window, its current resource panel and its current playing window (each may be absent),
// and the tooltip of its picture button. The main dialog supplies them through a lookup.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

struct MainWindowViews {
  QPointer<QWidget> mainWindow;
  QPointer<QWidget> resourcePanel;
  QPointer<QWidget> playingWindow;
  // Sets the tooltip of the picture button "隐藏视频图像窗口"; may be empty.
  std::function<void(const QString&)> setPictureButtonTip;
};
using MainWindowViewsLookup = std::function<MainWindowViews()>;

inline constexpr const char* kShowPictureWindowTip = "显示视频图像窗口";
inline constexpr const char* kHidePictureWindowTip = "隐藏视频图像窗口";

// Hides the three windows (those that exist) and sets the tip to "显示视频图像窗口".
void HideForCapture(const MainWindowViews& views);
// Shows them again and sets the tip back to "隐藏视频图像窗口".
void ShowAfterCapture(const MainWindowViews& views);
