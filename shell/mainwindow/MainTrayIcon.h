#pragma once
// The main window's icon in the notification area (tip "Kalimo"): a left click asks for all
// windows back; the right button opens the menu "显示主界面", "关于", "退出系统".
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace kalimo {

class MainTrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit MainTrayIcon(QObject* parent = nullptr);

  // Whether the desktop has a notification area to hide into right now.
  static bool Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

 signals:
  void RestoreRequested();   // left click on the icon
  void ShowMainRequested();  // "显示主界面"
  void AboutRequested();     // "关于"
  void ExitRequested();      // "退出系统"

 private:
  QMenu menu_;
  QSystemTrayIcon icon_;
};

}  // namespace kalimo
