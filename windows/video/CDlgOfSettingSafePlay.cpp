#include "windows/video/CDlgOfSettingSafePlay.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/VideoGroupStore.h"

namespace {
QLabel* BlueExplanation(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setStyleSheet("color: rgb(0, 0, 255)");
  return label;
}
}  // namespace

CDlgOfSettingSafePlay::CDlgOfSettingSafePlay(const kalimo::VideoGroupStore& groups, const std::string& groupName,
                                             const std::string& seamlessVideo, QWidget* parent)
    : QDialog(parent), groups_(groups), groupName_(groupName), chosenVideo_(seamlessVideo) {
  setObjectName("166");
  setWindowTitle("无缝衔接播放模式设置");
  videos_ = new QComboBox;
  videos_->setObjectName("1004");
  videos_->setAccessibleName("选择该组无缝衔接视频：");
  // Entries stay in group order, so an entry's index is the video's position.
  int preselected = -1;
  const std::int32_t count = groups.GetGroupVideoCount(groupName);
  for (std::int32_t position = 0; position < count; ++position) {
    const std::string path = groups.GetGroupVideoAt(groupName, position);
    videos_->insertItem(position, QString::fromStdString(kalimo::VideoFileName(path)));
    if (path == seamlessVideo) preselected = position;  // the last equal one wins
  }
  videos_->setCurrentIndex(preselected);

  auto* ok = new QPushButton("确定");
  ok->setObjectName("1001");
  auto* cancel = new QPushButton("取消");
  cancel->setObjectName("1002");
  connect(ok, &QPushButton::clicked, this, &CDlgOfSettingSafePlay::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BlueExplanation(
      "所谓无缝衔接播放模式：就是在一组视频中，如果一个视频播放完后，他的状态要么是停止，要么是重复播放，"
      "要么是播放下一个视频，都可能会引起混乱，因此需要设置一个视频作为无缝衔接"));
  layout->addWidget(BlueExplanation(
      "案例：在一组带各种动作的视频中，就可以设置基本动作（如聊天打字）的视频作为安全衔接视频，"
      "当一个动作播放完后，系统接着是播放聊天打字视频。尽可能的做到无缝衔接"));
  layout->addWidget(new QLabel("选择该组无缝衔接视频："));
  layout->addWidget(videos_);
  layout->addLayout(buttons);
}

void CDlgOfSettingSafePlay::OnOk() {
  const int index = videos_->currentIndex();
  const std::string chosen = index < 0 ? std::string() : groups_.GetGroupVideoAt(groupName_, index);
  if (chosen.empty()) {
    QMessageBox::information(this, QString(), "请选择无缝衔接视频");
    return;
  }
  chosenVideo_ = chosen;
  accept();
}
