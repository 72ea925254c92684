#include "shell/sidewindows/CHelpDlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/settings/VendorSite.h"
#include "shell/sidewindows/CAboutDlg.h"
#include "shell/sidewindows/LinkButton.h"

namespace kalimo {

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("帮助");

  auto* group = new QGroupBox("帮助列表：");
  auto* links = new QVBoxLayout(group);
  for (const HelpLink& link : kHelpLinks) {
    const QUrl target(QString::fromStdString(HelpPageAddress(link.path, link.fragment)));
    links->addWidget(new LinkButton(QString::fromUtf8(link.text), target));
  }

  auto* about = new QPushButton("关于");
  auto* ok = new QPushButton("确定");
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(about);
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(buttons);

  connect(about, &QPushButton::clicked, this, [this] { OpenAboutDialog(this); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void OpenHelpDialog(QWidget* parent) {
  CHelpDlg dialog(parent);
  dialog.exec();
}

}  // namespace kalimo
