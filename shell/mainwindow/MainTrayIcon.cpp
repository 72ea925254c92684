#include "shell/mainwindow/MainTrayIcon.h"

#include "shell/sidewindows/ProgramIcon.h"

namespace kalimo {

MainTrayIcon::MainTrayIcon(QObject* parent) : QObject(parent) {
  menu_.addAction(QStringLiteral("显示主界面"), this, &MainTrayIcon::ShowMainRequested);
  menu_.addAction(QStringLiteral("关于"), this, &MainTrayIcon::AboutRequested);
  menu_.addSeparator();
  menu_.addAction(QStringLiteral("退出系统"), this, &MainTrayIcon::ExitRequested);
  icon_.setIcon(ProgramIcon());
  icon_.setToolTip(QStringLiteral("Kalimo"));
  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) emit RestoreRequested();
  });
  // Shown also while no notification area exists: the icon appears when one starts.
  icon_.show();
}

}  // namespace kalimo
