#pragma once
// The seam between the main window and its four source tabs. Each tab is made by one factory, in
// a file of its own (VideoTab.cpp, CameraTab.cpp, ImageTab.cpp, ScreenTab.cpp), that returns the
// tab's pair: its resource panel and its playing window.
//
// A factory creates the playing window first and then the panel (a panel may be given the window
// it drives), and returns both without showing them:
// - the playing window with `mainWindow` as its parent, so it is an owned top-level window that
//   stays above the main window; the main window places it, shows it and hides it;
// - the panel as a child of `panelParent` (the tab control's page); the main window places it.
// The main window owns both from then on: on a tab switch and before it ends it deletes the
// playing window (which stops its source) and then the panel. A source that must stop before the
// next one starts therefore stops in its window's destructor.
#include <QString>
#include <iterator>

class CColorTitleDlg;
class QWidget;

namespace kalimo {

struct TabPair {
  QWidget* panel = nullptr;
  CColorTitleDlg* playingWindow = nullptr;
};

using TabPairFactory = TabPair (*)(QWidget* mainWindow, QWidget* panelParent);

TabPair MakeVideoTab(QWidget* mainWindow, QWidget* panelParent);
TabPair MakeCameraTab(QWidget* mainWindow, QWidget* panelParent);
TabPair MakeImageTab(QWidget* mainWindow, QWidget* panelParent);
TabPair MakeScreenTab(QWidget* mainWindow, QWidget* panelParent);

struct SourceTab {
  const char* text;  // the tab's text
  TabPairFactory make;
};

// The tabs in the order they are shown.
inline constexpr SourceTab kSourceTabs[] = {
    {"视频文件", MakeVideoTab},
    {"真实摄像头", MakeCameraTab},
    {"图像", MakeImageTab},
    {"捕获屏幕", MakeScreenTab},
};
inline constexpr int kSourceTabCount = static_cast<int>(std::size(kSourceTabs));

}  // namespace kalimo
