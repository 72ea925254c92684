#pragma once
// Shared by the tab demos: the panel's page at the left and the playing window beside it, as the
// main window places them; "ready" on standard output once both are shown.
#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

inline int RunTabDemo(QApplication& application, QWidget& page, QWidget* panel, QWidget& window) {
  auto* layout = new QVBoxLayout(&page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel);
  page.setGeometry(20, 40, 226, 480);
  window.setGeometry(page.geometry().right() + 12, 40, 420, 480);
  page.show();
  window.show();
  QTimer::singleShot(500, [] {
    std::puts("ready");
    std::fflush(stdout);
  });
  return application.exec();
}
