#include "shell/app/CMirandelDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "recording/StorageFolders.h"
#include "shell/settings/CSettingDlg.h"
#include "library/settings/SettingParams.h"
#include "shell/sidewindows/CHelpDlg.h"
#include "shell/sidewindows/ProgramIcon.h"

namespace kalimo {

CMirandelDlg::CMirandelDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Kalimo");
  setWindowIcon(ProgramIcon());
  setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);

  auto* help = new QPushButton("帮助");
  auto* settings = new QPushButton("参数设置");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(help);
  buttons->addWidget(settings);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addStretch();
  resize(267, 500);

  connect(help, &QPushButton::clicked, this, [this] { OpenHelpDialog(this); });
  connect(settings, &QPushButton::clicked, this, [this] { OpenSettingDialog(this); });

  CreateSettingParams();
  PrepareStorageFolders();
}

}  // namespace kalimo
