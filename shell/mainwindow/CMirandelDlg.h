#pragma once
// The main window, titled "Kalimo" (the name the virtual camera and a second start look for): the
// picture buttons at the top and the four source tabs below. It owns the current tab's resource
// panel (inside the tab control) and playing window (an owned window docked at its right edge),
// exactly one pair at a time, and the tray icon. Minimising and closing from the frame hide every
// window to the tray; only a confirmed exit ends the dialog.
#include <QPointer>

#include "shell/mainwindow/TabPair.h"
#include "windows/screen/MainWindowViews.h"
#include "windows/skin/CColorTitleDlg.h"
#include "windows/skin/CThemeHelperST.h"

class CTabCtrlEx;
class CXPStyleButtonST;

namespace kalimo {

class MainTrayIcon;

class CMirandelDlg : public CColorTitleDlg {
  Q_OBJECT

 public:
  explicit CMirandelDlg(QWidget* parent = nullptr);
  ~CMirandelDlg() override;

  // The current tab's pair; the panels and playing windows find each other through these.
  QWidget* ResourcePanel() const { return pair_.panel; }
  CColorTitleDlg* PlayingWindow() const { return pair_.playingWindow; }
  int CurrentTab() const { return currentTab_; }
  CTabCtrlEx* Tabs() const { return tabs_; }
  // The tooltip (and accessible name) of the button that shows or hides the playing window; the
  // playing windows set it too when they hide or show themselves.
  void SetPlayingWindowButtonTip(const QString& text);
  // A playing window that hid itself (its minimise or close): the button offers to show it again.
  void PlayingWindowHidden();
  // What a screen capture hides while it runs: this window, the current panel and playing window.
  MainWindowViews CurrentViews();

  // Hides all three windows into the tray, or, with no tray on the desktop, minimises.
  void HideToTray();
  // Shows all three windows again and brings the main window to the front.
  void RestoreFromTray();
  // Asks "是否确实要退出系统?"; on OK deletes the pair and ends the dialog.
  void ConfirmExit();
  // The playing window's button: hides a visible playing window, shows a hidden one.
  void TogglePlayingWindow();

  // Ends the dialog after deleting the pair, however it is asked to end.
  void done(int result) override;

  // Sizes of the main window's inside (the template's 178 x 333 dialog units).
  static constexpr QSize kClientSize{267, 541};

 protected:
  void MinimizeWindow() override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  CXPStyleButtonST* AddPictureButton(const QString& caption, const QString& picture, int x);
  void AddAboutToSystemMenu();
  void SwitchToTab(int index);
  void CreatePair();
  void DeletePair();
  void PlaceResourcePanel();
  void DockPlayingWindow();
  void SetAllVisible(bool visible);

  CThemeHelperST themeHelper_;
  TabPair pair_;
  int currentTab_ = -1;  // no tab until the first pair exists
  QWidget* tabControl_ = nullptr;
  CTabCtrlEx* tabs_ = nullptr;
  CXPStyleButtonST* playingWindowButton_ = nullptr;
  MainTrayIcon* tray_ = nullptr;
  bool shownBefore_ = false;
};

}  // namespace kalimo
