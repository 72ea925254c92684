#include "shell/app/ModalDialogsEnd.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace kalimo {

namespace {
constexpr int kRecheckMilliseconds = 20;

void EndModalDialogs() {
  while (QWidget* modal = QApplication::activeModalWidget()) {
    // done() rather than reject(): a dialog that asks before it closes must not ask now.
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->done(QDialog::Rejected);
    } else {
      modal->close();
    }
    if (QApplication::activeModalWidget() == modal) return;  // it would not go; the next check tries again
  }
}
}  // namespace

void EndModalDialogsThen(QObject* context, int baseLoopLevel, std::function<void()> finish) {
  EndModalDialogs();
  // The loops of the dialogs just ended return only after this call: the check waits for them.
  QTimer::singleShot(kRecheckMilliseconds, context, [context, baseLoopLevel, finish = std::move(finish)]() mutable {
    if (QThread::currentThread()->loopLevel() > baseLoopLevel || QApplication::activeModalWidget()) {
      EndModalDialogsThen(context, baseLoopLevel, std::move(finish));
      return;
    }
    finish();
  });
}

}  // namespace kalimo
