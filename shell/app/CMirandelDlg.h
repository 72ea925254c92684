#pragma once
// The main window, titled "Kalimo" (the name the virtual camera and a second start look for).
// This first form holds the buttons that open the settings and the help; the source tabs, the
// playing window and the tray icon are still to come.
#include <QDialog>

namespace kalimo {

class CMirandelDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CMirandelDlg(QWidget* parent = nullptr);
};

}  // namespace kalimo
