#pragma once
// Shared by the panel and video window tests: a program folder of the test's own, answering the
// next modal dialog, reading "chapters.dat" as an outside reader would, and generated clips.
#include <QAbstractButton>
#include <QApplication>
#include <QRegularExpression>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace kalimo::test {

// Runs `answer` on the next modal dialog once it is shown (a message box or one of ours).
inline void AnswerNextModal(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      answer(modal);
    }
  });
  poll->start();
}

// Clicks the button with `text` in a modal dialog.
inline void ClickButton(QWidget* dialog, const QString& text) {
  for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
    if (button->text() == text) {
      button->click();
      return;
    }
  }
  QFAIL(qPrintable("no button " + text));
}

// "chapters.dat" decoded from GB18030 by Qt (not by the list files' own code); empty when absent.
inline QStringList ChaptersLines(const QString& folder) {
  QFile file(folder + "/chapters.dat");
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringDecoder decoder("GB18030");
  QString text = decoder(file.readAll());
  QStringList lines = text.split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
  return lines;
}

// A clip of one flat colour, 0.4 s at 30 frames a second, with or without sound.
inline QString MakeClip(const QString& path, const QString& colour, bool sound = false) {
  QString command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=" + colour +
                    ":size=64x48:rate=30:duration=0.4 ";
  // With sound as users' videos have it: H.264 and AAC in MP4 (the path should end in .mp4).
  if (sound) {
    command += "-f lavfi -i sine=duration=0.4 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest ";
  } else {
    command += "-c:v mjpeg -pix_fmt yuvj420p ";
  }
  command += "'" + path + "'";
  if (std::system(command.toUtf8().constData()) != 0) return {};
  return path;
}

}  // namespace kalimo::test
