#pragma once
// Choosing a group's idle video for the seamless mode: the group's videos in their order, the
// current idle video preselected. "确定" needs a choice.
#include <QDialog>
#include <string>

class QComboBox;

namespace kalimo {
class VideoGroupStore;
}

class CDlgOfSettingSafePlay : public QDialog {
  Q_OBJECT

 public:
  CDlgOfSettingSafePlay(const kalimo::VideoGroupStore& groups, const std::string& groupName,
                        const std::string& seamlessVideo, QWidget* parent = nullptr);

  // The chosen idle video's path (the current one until "确定" accepted a choice).
  const std::string& ChosenVideo() const { return chosenVideo_; }
  QComboBox* Videos() const { return videos_; }

 public slots:
  void OnOk();

 private:
  const kalimo::VideoGroupStore& groups_;
  std::string groupName_;
  std::string chosenVideo_;
  QComboBox* videos_;
};
