#include "windows/image/CPlayImageControlDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "library/Slideshow.h"

CPlayImageControlDlg::CPlayImageControlDlg(std::int32_t secondsPerImage, QWidget* parent)
    : QWidget(parent), secondsEdit_(new QLineEdit(QString::number(secondsPerImage), this)),
      pauseButton_(new QPushButton(QString::fromUtf8(kPauseCaption), this)) {
  auto* secondsLabel = new QLabel(QStringLiteral("每张图片的运行时间"), this);
  auto* unitLabel = new QLabel(QStringLiteral("秒(最少1秒）"), this);
  secondsLabel->setBuddy(secondsEdit_);
  secondsEdit_->setObjectName(QStringLiteral("1041"));
  secondsEdit_->setAccessibleName(secondsLabel->text());
  secondsEdit_->setMaximumWidth(90);
  pauseButton_->setObjectName(QStringLiteral("1074"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 6, 12, 6);
  layout->addWidget(secondsLabel);
  layout->addWidget(secondsEdit_);
  layout->addWidget(unitLabel);
  layout->addWidget(pauseButton_);
  layout->addStretch();

  setAutoFillBackground(true);
  connect(pauseButton_, &QPushButton::clicked, this, [this] {
    if (paused_) {
      emit ResumeRequested();
    } else {
      emit PauseRequested();
    }
  });
}

std::int32_t CPlayImageControlDlg::SecondsPerImage() const {
  return kalimo::ReadSecondsPerImage(secondsEdit_->text().toStdU16String());
}

void CPlayImageControlDlg::SetPaused(bool paused) {
  paused_ = paused;
  pauseButton_->setText(QString::fromUtf8(paused ? kPlayCaption : kPauseCaption));
}
