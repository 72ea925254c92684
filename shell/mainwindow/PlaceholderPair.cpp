#include <QWidget>

#include "shell/mainwindow/TabPair.h"
#include "windows/skin/CColorTitleDlg.h"

namespace kalimo {

namespace {
// A playing window with nothing in it yet: the skinned frame, without icon, resizable.
class CPlaceholderPlayingWindow : public CColorTitleDlg {
 public:
  CPlaceholderPlayingWindow(QWidget* mainWindow, const QString& caption)
      : CColorTitleDlg(mainWindow, false, 0) {
    setWindowTitle(caption);
  }
};
}  // namespace

TabPair MakePlaceholderPair(QWidget* mainWindow, QWidget* panelParent, const QString& caption) {
  TabPair pair;
  pair.playingWindow = new CPlaceholderPlayingWindow(mainWindow, caption);
  pair.panel = new QWidget(panelParent);
  pair.panel->setObjectName(QStringLiteral("resourcePanel"));
  QPalette palette = pair.panel->palette();
  palette.setBrush(QPalette::Window, CColorTitleDlg::BackgroundBrush());
  pair.panel->setPalette(palette);
  pair.panel->setAutoFillBackground(true);
  return pair;
}

}  // namespace kalimo
