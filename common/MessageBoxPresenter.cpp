#include "common/MessageBoxPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace kalimo {

namespace {
QMessageBox::Icon ToBoxIcon(UserMessage::Icon icon) {
  switch (icon) {
    case UserMessage::Icon::Question: return QMessageBox::Question;
    case UserMessage::Icon::Information: return QMessageBox::Information;
    case UserMessage::Icon::Warning: break;
  }
  return QMessageBox::Warning;
}

MessageAnswer ShowBox(const UserMessage& message) {
  const auto buttons = message.offerCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
  QMessageBox box(ToBoxIcon(message.icon), QString::fromStdString(message.caption),
                  QString::fromStdString(message.text), buttons);
  return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}
}  // namespace

MessageAnswer PresentInMessageBox(const UserMessage& message) {
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!application) return message.offerCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
  if (QThread::currentThread() == application->thread()) return ShowBox(message);
  QMetaObject::invokeMethod(application, [message] { ShowBox(message); }, Qt::QueuedConnection);
  return message.offerCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

void InstallMessageBoxPresenter() { SetMessagePresenter(PresentInMessageBox); }

}  // namespace kalimo
