#include "windows/video/CPlayVideoControlDlg.h"

#include <QLabel>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QSlider>
#include <algorithm>

#include "windows/base/DialogUnits.h"
#include "windows/skin/CXPStyleButtonST.h"

namespace {
const QSize kTemplateSize = DialogUnitsSize(495, 75);

// A click in the groove puts the thumb there, as a drag would, instead of moving it a page: the
// release that follows seeks (or sets the volume) to where the user clicked.
class ClickInGrooveStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_Slider_AbsoluteSetButtons) return Qt::LeftButton;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QSlider* MakeTrackbar(QWidget* parent, const char* id) {
  auto* bar = new QSlider(Qt::Horizontal, parent);
  bar->setObjectName(id);
  bar->setTickPosition(QSlider::NoTicks);
  auto* style = new ClickInGrooveStyle;
  style->setParent(bar);
  bar->setStyle(style);
  return bar;
}
}  // namespace

CPlayVideoControlDlg::CPlayVideoControlDlg(QWidget* parent) : QWidget(parent) {
  setObjectName("139");
  setAutoFillBackground(true);
  resize(kTemplateSize);

  seekBar_ = MakeTrackbar(this, "1020");
  seekBar_->setAccessibleName("播放进度");
  volumeBar_ = MakeTrackbar(this, "1024");
  volumeBar_->setAccessibleName("音量");
  volumeBar_->setRange(0, kVolumeRange);
  play_ = MakePictureButton(1022, "播放", "pause.png");
  stop_ = MakePictureButton(1023, "停止", "Stop.png");
  mute_ = MakePictureButton(1025, "静音", "CloseSound.png");
  // Shown disabled: the volume bar does their work.
  MakePictureButton(1050, "小声", "MinusSound.png")->setEnabled(false);
  MakePictureButton(1051, "大声", "AddSound.png")->setEnabled(false);
  skipForward_ = new QPushButton(">>", this);
  skipForward_->setObjectName("1001");
  skipForward_->setAccessibleName("快进");
  skipBack_ = new QPushButton("<<", this);
  skipBack_->setObjectName("1002");
  skipBack_->setAccessibleName("快退");
  status_ = new QLabel(this);
  status_->setObjectName("1028");
  status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  status_->setWordWrap(true);

  Place(seekBar_, DialogUnitsRect(25, 9, 440, 15));
  Place(skipBack_, DialogUnitsRect(11, 12, 14, 10));
  Place(skipForward_, DialogUnitsRect(469, 12, 14, 10));
  Place(play_, DialogUnitsRect(9, 26, 23, 20));
  Place(stop_, DialogUnitsRect(38, 26, 23, 20));
  Place(mute_, DialogUnitsRect(340, 28, 27, 16));
  Place(findChild<QWidget*>("1050"), DialogUnitsRect(370, 28, 23, 16));
  Place(volumeBar_, DialogUnitsRect(393, 28, 59, 16));
  Place(findChild<QWidget*>("1051"), DialogUnitsRect(462, 28, 23, 16));
  Place(status_, DialogUnitsRect(9, 50, 482, 24));

  connect(play_, &QAbstractButton::clicked, this, &CPlayVideoControlDlg::PlayPauseClicked);
  connect(stop_, &QAbstractButton::clicked, this, &CPlayVideoControlDlg::StopClicked);
  connect(mute_, &QAbstractButton::clicked, this, &CPlayVideoControlDlg::MuteClicked);
  connect(skipForward_, &QAbstractButton::clicked, this, &CPlayVideoControlDlg::SkipForwardClicked);
  connect(skipBack_, &QAbstractButton::clicked, this, &CPlayVideoControlDlg::SkipBackClicked);
  connect(seekBar_, &QSlider::sliderReleased, this, [this] { emit SeekRequested(seekBar_->value()); });
  connect(volumeBar_, &QSlider::sliderReleased, this, [this] { emit VolumeRequested(volumeBar_->value()); });
  // Holding the mouse on these stops the tick, so the thumb stays where the user holds it.
  for (QWidget* held : {static_cast<QWidget*>(seekBar_), static_cast<QWidget*>(skipForward_),
                        static_cast<QWidget*>(skipBack_)}) {
    held->installEventFilter(this);
  }
  connect(&tick_, &QTimer::timeout, this, &CPlayVideoControlDlg::PositionTick);
  tick_.start(kTickMs);
}

CXPStyleButtonST* CPlayVideoControlDlg::MakePictureButton(int id, const QString& caption, const QString& picture) {
  auto* button = new CXPStyleButtonST(caption, this);
  button->setObjectName(QString::number(id));
  button->SetUpPictureButton(&themeHelper_, picture);
  return button;
}

void CPlayVideoControlDlg::Place(QWidget* control, const QRect& rect) {
  control->setGeometry(rect);
  templateRects_[control] = rect;
}

QAbstractButton* CPlayVideoControlDlg::PlayButton() const { return play_; }
QAbstractButton* CPlayVideoControlDlg::StopButton() const { return stop_; }
QAbstractButton* CPlayVideoControlDlg::MuteButton() const { return mute_; }

void CPlayVideoControlDlg::ShowPlaying(bool playing) {
  play_->SetPictureName(playing ? "pause.png" : "play.png");
  play_->SetTipText(playing ? "暂停" : "播放");
}

void CPlayVideoControlDlg::SetStatusText(const QString& text) {
  status_->setText(text);
  status_->setToolTip(text);
  // The window lays out again when the message needs another height.
  updateGeometry();
  ApplyLayout();
}
QString CPlayVideoControlDlg::StatusText() const { return status_->text(); }

void CPlayVideoControlDlg::ShowPosition(qint64 durationMs, qint64 positionMs) {
  if (seekBar_->isSliderDown()) return;
  seekBar_->setRange(0, static_cast<int>(durationMs));
  seekBar_->setValue(static_cast<int>(positionMs));
}

void CPlayVideoControlDlg::ShowSound(bool hasSound, int volumeBarPosition) {
  mute_->setEnabled(hasSound);
  volumeBar_->setEnabled(hasSound);
  if (hasSound) volumeBar_->setValue(volumeBarPosition);
}

void CPlayVideoControlDlg::ShowMuted(bool muted) {
  volumeBar_->setEnabled(!muted);
  mute_->SetPictureName(muted ? "openSound.png" : "CloseSound.png");
  mute_->SetTipText(muted ? "播音" : "静音");
}

void CPlayVideoControlDlg::EnablePlayback(bool enabled) {
  play_->setEnabled(enabled);
  stop_->setEnabled(enabled);
}

bool CPlayVideoControlDlg::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::MouseButtonPress;
  if ((press || event->type() == QEvent::MouseButtonRelease) &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (press) {
      tick_.stop();
    } else {
      tick_.start(kTickMs);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CPlayVideoControlDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyLayout();
}

int CPlayVideoControlDlg::StatusWidth(int barWidth) const {
  const QRect rect = templateRects_.at(status_);
  return std::max(1, rect.width() + barWidth - kTemplateSize.width());
}

int CPlayVideoControlDlg::ExtraStatusHeight(int barWidth) const {
  if (status_->text().isEmpty()) return 0;
  return std::max(0, status_->heightForWidth(StatusWidth(barWidth)) - templateRects_.at(status_).height());
}

int CPlayVideoControlDlg::heightForWidth(int width) const { return kTemplateSize.height() + ExtraStatusHeight(width); }

void CPlayVideoControlDlg::ApplyLayout() {
  const int dx = width() - kTemplateSize.width();
  const int extra = ExtraStatusHeight(width());
  // What the status line adds lies below every control, so it moves none of them.
  const int dy = height() - kTemplateSize.height() - extra;
  for (const auto& [control, rect] : templateRects_) {
    const QString id = control->objectName();
    if (id == "1022" || id == "1023" || id == "1002") {
      control->setGeometry(rect);  // left and top
    } else if (id == "1025" || id == "1050" || id == "1024") {
      control->setGeometry(rect.translated(dx, 0));  // distance from the right edge
    } else if (id == "1001" || id == "1051") {
      control->setGeometry(rect.translated(dx, dy));  // distances from the right and bottom edges
    } else if (id == "1020") {
      // Left position, right and bottom distances and height: stretches with the width.
      control->setGeometry(rect.left(), rect.top() + dy, rect.width() + dx, rect.height());
    } else if (id == "1028") {
      // The status line keeps its left and top and ends where the bar ends: a long message wraps
      // within the bar, which grows by the lines it needs, instead of running past the window's edge.
      control->setGeometry(rect.left(), rect.top(), StatusWidth(width()), rect.height() + extra);
    }
  }
}
