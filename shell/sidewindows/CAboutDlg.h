#pragma once
// The about box: the program's icon, its version and the vendor's web site.
#include <QDialog>

namespace kalimo {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// Opens the about box modally.
void OpenAboutDialog(QWidget* parent);

}  // namespace kalimo
