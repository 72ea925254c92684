#pragma once
// The screen tab's resource panel: what to capture (an area or the whole screen) and the start
// button. A capture hides the main window's parts; with the camera as target the screen window
// floats, always on top, in the lower right corner and shows the frames. The end restores all.
//
// The main dialog creates it with the tab's screen window and hands it the lookup of its parts:
//   panel->SetMainWindowViews([this] { return CurrentViews(); });
// Without a lookup the panel hides its own top-level window, itself and its screen window.
#include <QHash>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "windows/screen/MainWindowViews.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class CWindowPlayingCaptureScreen;
class ScreenCaptureRun;

class CCaptureScreenResourceDlg : public QWidget {
  Q_OBJECT

 public:
  // The floating screen window's size and its distance from the screen's right and bottom edges.
  static constexpr int kFloatingWidth = 320;
  static constexpr int kFloatingHeight = 240;
  static constexpr int kFloatingRightOffset = 330;
  static constexpr int kFloatingBottomOffset = 250;
  // The groups' width in a panel wide enough, the narrowest they get, and the room left on each
  // side in a narrower one; the choices inside are as wide as kChoiceWidth at most.
  static constexpr int kGroupWidth = 280;
  static constexpr int kGroupMinimumWidth = 200;
  static constexpr int kGroupMargin = 4;
  static constexpr int kChoiceWidth = 250;
  static constexpr const char* kHelpPath = "/help/ostrel.html";
  static constexpr const char* kHelpFragment = "#howtodisablehwa";

  CCaptureScreenResourceDlg(CWindowPlayingCaptureScreen* screenWindow, QWidget* parent = nullptr);
  ~CCaptureScreenResourceDlg() override;

  void SetMainWindowViews(MainWindowViewsLookup lookup) { views_ = std::move(lookup); }

  // The start button (1070).
  void Start();
  bool IsCapturing() const;
  int RegionMode() const { return regionMode_; }
  int RecordChoice() const { return recordChoice_; }
  QButtonGroup* Regions() const { return regions_; }
  QButtonGroup* Records() const { return records_; }
  QPushButton* StartButton() const { return startButton_; }
  QLabel* HelpLink() const { return helpLink_; }

  // Where the floating screen window goes on a screen of `screenSize`.
  static QRect FloatingRect(QSize screenSize);

 signals:
  void CaptureFinished();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Finish();
  void CentreGroups();
  MainWindowViews CurrentViews();

  QPointer<CWindowPlayingCaptureScreen> screenWindow_;  // the main dialog deletes it first
  MainWindowViewsLookup views_;
  MainWindowViews hidden_;
  ScreenCaptureRun* run_;
  int regionMode_ = 0;
  int recordChoice_ = 0;
  QRect savedScreenWindowRect_;
  QGroupBox* regionBox_;
  QGroupBox* optionBox_;
  QButtonGroup* regions_;
  QButtonGroup* records_;
  QLabel* helpLink_;
  QPushButton* startButton_;
  // Each control's offset from the top-left corner of its group box, taken once laid out.
  QHash<QWidget*, QPair<QGroupBox*, QPoint>> offsets_;
};
