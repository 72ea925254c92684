#include "windows/video/CDlgOfAddAction.h"

#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "library/BookmarkStore.h"
#include "media/base/MediaResult.h"
#include "windows/base/CPictureControl.h"
#include "windows/base/DialogUnits.h"
#include "windows/base/VideoPreviewPainter.h"

using kalimo::media::CMyVideoPlayer;

namespace {

QPushButton* Button(const QString& text, const char* id) {
  auto* button = new QPushButton(text);
  button->setObjectName(id);
  button->setAutoDefault(false);
  return button;
}

QString InitialTimeText(const QString& time) {
  if (time.isEmpty()) return "00:00:00";
  const std::optional<kalimo::BookmarkTime> parsed = kalimo::ParseBookmarkTime(time.toStdString());
  if (!parsed) return {};
  return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(parsed->hours),
                           static_cast<long long>(parsed->minutes), static_cast<long long>(parsed->seconds));
}

}  // namespace

CDlgOfAddAction::CDlgOfAddAction(const QString& name, const QString& time, QWidget* parent)
    : QDialog(parent), name_(name), time_(time) {
  setObjectName("158");
  setWindowTitle("添加动作");
  resize(DialogUnitsSize(324, 284));

  nameBox_ = new QComboBox;
  nameBox_->setObjectName("1004");
  nameBox_->setEditable(true);
  nameBox_->setAccessibleName("书签名称：");
  nameBox_->setEditText(name);
  timeEdit_ = new QLineEdit(InitialTimeText(time));
  timeEdit_->setObjectName("1087");
  timeEdit_->setReadOnly(true);
  timeEdit_->setEnabled(false);
  timeEdit_->setAccessibleName("书签在视频中的时间点：");
  auto* later = Button("^", "1054");
  // The step back had no caption of its own; "v" mirrors "^" above it.
  auto* earlier = Button("v", "1009");
  fixButton_ = Button("定在此时间", "1019");
  preview_ = new CPictureControl;
  preview_->setObjectName("1086");
  preview_->setMinimumSize(DialogUnitsSize(300, 130));
  preview_->SetPainter([this](QPainter& painter, const QRect& target) {
    kalimo::media::RepaintVideo(player_, painter, target);
  });
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setObjectName("1085");
  slider_->installEventFilter(this);
  auto* hint = new QLabel(
      "温馨提示：先拖动滑动条，找到动作的大概时间，然后点击<<定在此时间>>按钮,然后可以点击上下按钮来微调时间");
  hint->setWordWrap(true);
  auto* ok = Button("确定", "1002");
  auto* cancel = Button("取消", "1001");

  auto* form = new QGridLayout;
  form->addWidget(new QLabel("书签名称："), 0, 0);
  form->addWidget(nameBox_, 0, 1);
  form->addWidget(new QLabel("您还可以在左边输入自己想要的书签名"), 0, 2, 1, 2);
  form->addWidget(new QLabel("书签在视频中的时间点："), 1, 0);
  form->addWidget(timeEdit_, 1, 1);
  auto* steps = new QVBoxLayout;
  steps->setSpacing(0);
  steps->addWidget(later);
  steps->addWidget(earlier);
  form->addLayout(steps, 1, 2);
  form->addWidget(fixButton_, 1, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(preview_, 1);
  layout->addWidget(slider_);
  layout->addWidget(hint);
  layout->addLayout(buttons);

  connect(&tick_, &QTimer::timeout, this, &CDlgOfAddAction::OnTick);
  connect(later, &QPushButton::clicked, this, [this] { StepBy(1); });
  connect(earlier, &QPushButton::clicked, this, [this] { StepBy(-1); });
  connect(fixButton_, &QPushButton::clicked, this, &CDlgOfAddAction::OnFixOrResume);
  connect(ok, &QPushButton::clicked, this, &CDlgOfAddAction::OnOk);
  connect(cancel, &QPushButton::clicked, this, &CDlgOfAddAction::OnCancel);
}

CDlgOfAddAction::~CDlgOfAddAction() {
  tick_.stop();
  player_.Close();
}

void CDlgOfAddAction::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!opened_) {
    opened_ = true;
    OpenVideo();
  }
}

void CDlgOfAddAction::OpenVideo() {
  if (player_.LoadFile(videoPath_, this, true, false) != kalimo::media::kOk) {
    player_.Close();
    // Without a picture only the name can be edited and confirmed.
    if (player_.LoadFile(videoPath_, this, false, false) != kalimo::media::kOk) return;
  }
  if (std::optional<kalimo::BookmarkTime> given = kalimo::ParseBookmarkTime(time_.toStdString())) {
    if (given->TotalSeconds() > 0) player_.SetPosition(std::chrono::seconds(given->TotalSeconds()));
  }
  tick_.start(kPlayingTick);
}

void CDlgOfAddAction::OnTick() {
  kalimo::MediaTime duration{};
  kalimo::MediaTime position{};
  if (!player_.GetDuration(duration) || !player_.GetCurrentPosition(position)) return;
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  slider_->setRange(0, static_cast<int>(duration_cast<milliseconds>(duration).count()));
  slider_->setValue(static_cast<int>(duration_cast<milliseconds>(position).count()));
  timeEdit_->setText(QString::fromStdString(kalimo::FormatBookmarkTime(position)));
}

bool CDlgOfAddAction::eventFilter(QObject* watched, QEvent* event) {
  if (watched == slider_ && event->type() == QEvent::MouseButtonPress) {
    tick_.stop();
  } else if (watched == slider_ && event->type() == QEvent::MouseButtonRelease) {
    tick_.start(kDraggedTick);
    // After the slider has taken the release, so that its value is final.
    QMetaObject::invokeMethod(this, &CDlgOfAddAction::OnSliderReleased, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void CDlgOfAddAction::OnSliderReleased() {
  if (positionFixed_) {
    QMessageBox::information(this, QString(), "请点击继续播放按钮");
    return;
  }
  if (!player_.SetPosition(std::chrono::milliseconds(slider_->value()))) qDebug("failure");
}

void CDlgOfAddAction::OnFixOrResume() {
  if (!positionFixed_) {
    kalimo::MediaTime position{};
    if (!player_.IsLoaded() || !player_.GetCurrentPosition(position)) {
      QMessageBox::information(this, QString(), "定位失败");
      return;
    }
    fixButton_->setText("继续播放");
    timeEdit_->setText(QString::fromStdString(kalimo::FormatBookmarkTime(position)));
    player_.Pause();
    positionFixed_ = true;
    return;
  }
  if (!Ask("继续播放需要您重新定位时间，是否继续播放？")) return;
  fixButton_->setText("定位在此时间");
  player_.Run();
  positionFixed_ = false;
}

void CDlgOfAddAction::StepBy(std::int64_t seconds) {
  // The edit box follows at the next tick; the player's own limits apply (e.g. before the start).
  if (std::optional<kalimo::BookmarkTime> shown = kalimo::ParseBookmarkTime(timeEdit_->text().toStdString())) {
    player_.SetPosition(std::chrono::seconds(shown->TotalSeconds() + seconds));
  }
}

void CDlgOfAddAction::OnOk() {
  const QString name = nameBox_->currentText();
  if (std::optional<std::string> problem = kalimo::BookmarkNameProblem(name.toStdString())) {
    QMessageBox::information(this, QString(), QString::fromStdString(*problem));
    return;
  }
  name_ = name;
  time_ = timeEdit_->text();
  accept();
}

void CDlgOfAddAction::OnCancel() {
  if (Ask("点击取消会不保存动作信息，是否取消？")) QDialog::reject();
}

void CDlgOfAddAction::reject() {
  // The close box and Escape.
  if (Ask("点击关闭会不保存动作信息，是否关闭？")) QDialog::reject();
}

bool CDlgOfAddAction::Ask(const QString& question) {
  return QMessageBox::question(this, "询问", question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void CDlgOfAddAction::PreviewFrameArrived() {
  QMetaObject::invokeMethod(preview_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void CDlgOfAddAction::GraphEventsWaiting() {
  QMetaObject::invokeMethod(this, &CDlgOfAddAction::TakeGraphEvents, Qt::QueuedConnection);
}

void CDlgOfAddAction::TakeGraphEvents() {
  // The preview only shows the video; its end or errors change nothing here.
  CMyVideoPlayer::Event event{};
  while (player_.TakeNextEvent(event)) {
  }
}
