#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <thread>

#include "common/MessageBoxPresenter.h"

using kalimo::MessageAnswer;

// Finds the box that is up, records how it looks and presses one of its buttons.
class BoxAnswerer {
 public:
  void AnswerNextBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(50, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return AnswerNextBox(button);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->standardButtons();
      box->button(button)->click();
    });
  }
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

class MessageBoxPresenterTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { kalimo::InstallMessageBoxPresenter(); }

  void warningShowsABoxWithCaptionIconAndOk() {
    BoxAnswerer answerer;
    answerer.AnswerNextBox(QMessageBox::Ok);
    kalimo::ShowWarning("无法打开文件");
    QCOMPARE(answerer.title, QString("Corvessa"));
    QCOMPARE(answerer.text, QString("无法打开文件"));
    QCOMPARE(answerer.icon, QMessageBox::Warning);
    QCOMPARE(answerer.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void questionReturnsTheButtonPressed() {
    BoxAnswerer answerer;
    answerer.AnswerNextBox(QMessageBox::Cancel);
    QVERIFY(!kalimo::AskQuestion("是否确实要退出系统?"));
    QCOMPARE(answerer.title, QString("询问"));
    QCOMPARE(answerer.icon, QMessageBox::Question);
    answerer.AnswerNextBox(QMessageBox::Ok);
    QVERIFY(kalimo::AskQuestion("是否确实要退出系统?"));
  }

  // A streaming thread must not wait for the user: its warning is shown later on this thread.
  void warningFromAnotherThreadIsShownOnTheUserInterfaceThread() {
    std::thread([] { kalimo::ShowWarning("Unable to Write Video Stream to the output Movie File"); }).join();
    BoxAnswerer answerer;
    answerer.AnswerNextBox(QMessageBox::Ok);
    QTRY_COMPARE(answerer.text, QString("Unable to Write Video Stream to the output Movie File"));
  }
};

QTEST_MAIN(MessageBoxPresenterTest)
#include "MessageBoxPresenterTest.moc"
