#pragma once
// The look every playing window gives its control bar: the frame's background, its natural height.
#include <QWidget>

#include "windows/skin/CColorTitleDlg.h"

inline void PrepareControlBar(QWidget& bar) {
  QPalette palette = bar.palette();
  palette.setBrush(QPalette::Window, CColorTitleDlg::BackgroundBrush());
  bar.setPalette(palette);
  bar.resize(bar.sizeHint());
}
