#include "shell/sidewindows/CAboutDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "library/settings/VendorSite.h"
#include "shell/sidewindows/LinkButton.h"
#include "shell/sidewindows/ProgramIcon.h"

namespace kalimo {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("关于");

  auto* icon = new QLabel;
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  icon->setAccessibleName("Kalimo");
  auto* version = new QLabel("Kalimo4.0版");
  // The site, or without one the user guide that comes with the program.
  const QString site = QString::fromStdString(VendorSiteAddress());
  auto* link = new LinkButton(site.isEmpty() ? QString("Kalimo使用说明") : site,
                              QUrl(QString::fromStdString(VendorHomeAddress())));
  auto* ok = new QPushButton("确定");
  ok->setDefault(true);

  auto* layout = new QGridLayout(this);
  layout->setHorizontalSpacing(16);
  layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(version, 0, 1);
  layout->addWidget(link, 1, 1);
  layout->addWidget(ok, 0, 2, Qt::AlignTop);
  layout->setColumnStretch(1, 1);
  setMinimumWidth(320);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void OpenAboutDialog(QWidget* parent) {
  CAboutDlg dialog(parent);
  dialog.exec();
}

}  // namespace kalimo
