#pragma once
// The main window's screen recording (button "录制视频"): asks what to record, hides the main
// window's parts, records through the screen-capture component until Escape, then shows them again.
//
// The main dialog owns one, hands it the lookup of its parts, and connects its button:
//   auto* recording = new ScreenRecording([this] { return CurrentViews(); }, this);
//   connect(recordButton, &QAbstractButton::clicked, recording, [=] { recording->Run(this); });
#include <QObject>

#include "windows/screen/MainWindowViews.h"

class QWidget;
class ScreenCaptureRun;

class ScreenRecording : public QObject {
  Q_OBJECT

 public:
  ScreenRecording(MainWindowViewsLookup views, QObject* parent = nullptr);

  // Shows "录制选择框" modally over `dialogParent`; on "确定" starts recording its region.
  void Run(QWidget* dialogParent);
  // Starts recording `regionMode` (0 an area, 2 the whole screen); false when the component is
  // missing (nothing changes then) or a recording already runs.
  bool Start(int regionMode);
  bool IsRecording() const;

 signals:
  void Finished();

 private:
  MainWindowViewsLookup views_;
  MainWindowViews hidden_;
  ScreenCaptureRun* run_;
};
