#include "windows/video/CMovieResourceDlg.h"

#include <QCursor>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "windows/skin/CXPStyleButtonST.h"
#include "windows/skin/SkinResources.h"
#include "windows/video/CDialogOfGroup.h"
#include "windows/video/CDlgOfControlAction.h"
#include "windows/video/CDlgOfSettingSafePlay.h"
#include "windows/video/CWindowPlayingVideo.h"

using kalimo::VideoGroup;

namespace {
constexpr std::uintptr_t kVideoItem = 1;
constexpr int kButtonWidth = 72;
constexpr int kButtonHeight = 30;
constexpr int kMargin = 4;

const char* kVideoFilter =
    "视频文件 (*.avi; *.mp4;*.flv;*.qt; *.mov; *.mpg; *.mpeg; *.m1v;*.rmvb;*.wav,;*.wmv;) "
    "(*.avi *.mp4 *.flv *.qt *.mov *.mpg *.mpeg *.m1v *.rmvb *.wav *.wmv);;"
    "音频文件  (*.wav;*.mpa; *.mp2; *.mp3; *.au; *.aif; *.aiff; *.snd) "
    "(*.wav *.mpa *.mp2 *.mp3 *.au *.aif *.aiff *.snd);;"
    "多媒体文件 (*.mid, *.midi, *.rmi) (*.mid *.midi *.rmi);;"
    "图像 (*.jpg, *.bmp, *.gif, *.tga) (*.jpg *.bmp *.gif *.tga);;"
    "所有文件 (*.*) (*)";

QString Text(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

// The sequencer's player: the video window, or nothing when the panel has none.
class CMovieResourceDlg::Playback : public kalimo::GroupPlayback {
 public:
  explicit Playback(CWindowPlayingVideo* window) : window_(window) {}
  bool PlayVideoFile(const std::string& path) override {
    return window_ && window_->PlayVideoFile(Text(path));
  }
  void Close() override {
    if (window_) window_->CloseVideo();
  }
  bool SetPosition(kalimo::MediaTime time) override { return window_ && window_->Player().SetPosition(time); }
  void QueueContinuation(const std::string& path) override {
    if (window_ && window_->IsLoaded()) window_->Player().SetContinuation(path);
  }

 private:
  CWindowPlayingVideo* window_;
};

// The play marker on the tree.
class CMovieResourceDlg::Markers : public kalimo::GroupMarkers {
 public:
  explicit Markers(const CMovieResourceDlg& panel) : panel_(panel) {}
  void SetVideoMarker(const std::string& group, std::int32_t position, bool playing) override {
    CYYTreeCtrl::Item groupItem = panel_.FindGroupItem(group);
    if (!groupItem || position < 0 || position >= static_cast<std::int32_t>(groupItem->children.size())) return;
    panel_.tree_->SetItemPicture(groupItem->children[position].get(),
                                 playing ? kalimo::skin::kPlayingVideoPicture : kalimo::skin::kBlankVideoPicture);
  }

 private:
  const CMovieResourceDlg& panel_;
};

CMovieResourceDlg::CMovieResourceDlg(CWindowPlayingVideo* videoWindow, QWidget* parent)
    : QWidget(parent),
      videoWindow_(videoWindow),
      playback_(std::make_unique<Playback>(videoWindow)),
      markers_(std::make_unique<Markers>(*this)),
      sequencer_(std::make_unique<kalimo::GroupSequencer>(groups_, *playback_, markers_.get())) {
  setObjectName("143");
  tree_ = new CYYTreeCtrl(this);
  tree_->setObjectName("1090");
  tree_->setAccessibleName("视频分组");
  addButton_ = new CXPStyleButtonST("添加", this);
  addButton_->setObjectName("1001");
  addButton_->SetUpPictureButton(&themeHelper_, "addMovie.png");
  addGroupButton_ = new CXPStyleButtonST("添加分组", this);
  addGroupButton_->setObjectName("1009");
  addGroupButton_->SetUpPictureButton(&themeHelper_, "addgroup.png");
  chooseFiles_ = [](QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString(), QString(), kVideoFilter);
  };

  tree_->LoadGlyphs();
  groups_.LoadGroups();
  FillTree();
  if (!groups_.Groups().empty()) sequencer_->SetCurrentGroupName(groups_.Groups().front().name);
  QMetaObject::invokeMethod(tree_, &CYYTreeCtrl::RefreshScrollRange, Qt::QueuedConnection);
  tree_->SetSeamlessQuery([this](CYYTreeCtrl::Item item) { return IsSeamlessItem(item); });

  connect(addButton_, &QAbstractButton::clicked, this, &CMovieResourceDlg::AddVideos);
  connect(addGroupButton_, &QAbstractButton::clicked, this, &CMovieResourceDlg::AddGroup);
  connect(tree_, &CYYTreeCtrl::ItemDoubleClicked, this, &CMovieResourceDlg::PlaySelectedItem);
  connect(tree_, &CYYTreeCtrl::ItemRightClicked, this, &CMovieResourceDlg::ShowContextMenu);
  if (videoWindow_) {
    connect(videoWindow_, &CWindowPlayingVideo::VideoEnded, this, [this] { sequencer_->OnVideoEnded(); });
    connect(videoWindow_, &CWindowPlayingVideo::VideoContinued, this,
            [this](const QString& path) { sequencer_->OnContinued(path.toStdString()); });
    connect(videoWindow_, &CWindowPlayingVideo::PlaybackFailed, this, [this] { sequencer_->OnContinuationFailed(); });
    connect(videoWindow_, &CWindowPlayingVideo::PlayRequested, this,
            [this] { sequencer_->PlayGroupVideo(sequencer_->CurrentIndex()); });
  }
  QMetaObject::invokeMethod(this, &CMovieResourceDlg::AutoPlay, Qt::QueuedConnection);
  resize(264, 367);
  ApplyLayout();
}

CMovieResourceDlg::~CMovieResourceDlg() = default;

void CMovieResourceDlg::FillTree() {
  tree_->DeleteAllItems();
  for (const VideoGroup& group : groups_.Groups()) {
    CYYTreeCtrl::Item groupItem = tree_->InsertItemWithPicture(Text(group.name), nullptr, kalimo::skin::kExpandedGlyph);
    for (const std::string& video : group.videos) {
      tree_->InsertItemWithPicture(Text(kalimo::VideoFileName(video)), groupItem, kalimo::skin::kBlankVideoPicture,
                                   kVideoItem);
    }
    tree_->Expand(groupItem, !group.videos.empty());
  }
}

void CMovieResourceDlg::AutoPlay() {
  if (groups_.GetGroupVideoCount(sequencer_->CurrentGroupName()) > 0) sequencer_->PlayGroupVideo(0);
}

CYYTreeCtrl::Item CMovieResourceDlg::FindGroupItem(const std::string& name) const {
  for (const auto& root : tree_->Items().Roots()) {
    if (root->text == name) return root.get();
  }
  return nullptr;
}

int CMovieResourceDlg::PositionInParent(CYYTreeCtrl::Item item) {
  if (!item || !item->parent) return -1;
  const auto& siblings = item->parent->children;
  for (std::size_t position = 0; position < siblings.size(); ++position) {
    if (siblings[position].get() == item) return static_cast<int>(position);
  }
  return -1;
}

std::string CMovieResourceDlg::CurrentGroupName() const {
  CYYTreeCtrl::Item item = tree_->GetSelectedItem();
  if (!item) return {};
  return item->parent ? item->parent->text : item->text;
}

void CMovieResourceDlg::Save() const { groups_.SaveGroups(); }

bool CMovieResourceDlg::Ask(const QString& question) {
  return QMessageBox::question(this, "询问", question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void CMovieResourceDlg::PlayIfIdle(const std::string& groupName) {
  // While nothing plays, a group that receives a video starts it (the first of several added).
  if (videoWindow_ && !videoWindow_->IsLoaded()) {
    sequencer_->PlayGroupVideoOf(groupName, groups_.GetGroupVideoCount(groupName) - 1);
  }
}

bool CMovieResourceDlg::IsSeamlessItem(CYYTreeCtrl::Item item) const {
  if (!item || item->data == 0 || !item->parent) return false;
  return sequencer_->IsSeamlessPosition(item->parent->text, PositionInParent(item));
}

void CMovieResourceDlg::PlaySelectedItem() {
  CYYTreeCtrl::Item item = tree_->GetSelectedItem();
  if (!item || !item->parent) return;
  sequencer_->PlayGroupVideoOf(item->parent->text, PositionInParent(item));
}

void CMovieResourceDlg::AddVideos() { AddVideosToGroup(nullptr, QString()); }

void CMovieResourceDlg::AddVideosToGroup(CYYTreeCtrl::Item groupItem, const QString& groupName) {
  const QStringList paths = chooseFiles_(this);
  if (paths.isEmpty()) return;
  std::string name = groupName.toStdString();
  if (!groupItem) {
    name = kalimo::VideoFolderName(paths.front().toStdString());
    if (name.empty()) name = kalimo::DefaultGroupName;
    groupItem = FindGroupItem(name);
    if (!groupItem) {
      groupItem = tree_->InsertItemWithPicture(Text(name), nullptr, kalimo::skin::kExpandedGlyph);
      tree_->Expand(groupItem, true);
      groups_.AddGroupVideo(name, "");
      Save();
      PlayIfIdle(name);
    }
    if (!groupItem) {
      QMessageBox::information(this, QString(), "创建分组失败");
      return;
    }
  }
  bool added = false;
  for (const QString& path : paths) {
    if (path.isEmpty()) continue;
    groups_.AddGroupVideo(name, path.toStdString());
    tree_->InsertItemWithPicture(Text(kalimo::VideoFileName(path.toStdString())), groupItem,
                                 kalimo::skin::kBlankVideoPicture, kVideoItem);
    tree_->Expand(groupItem, true);
    added = true;
    PlayIfIdle(name);
  }
  if (added) Save();
  sequencer_->RefreshContinuation();
}

void CMovieResourceDlg::AddGroup() {
  CDialogOfGroup dialog(QString(), [this](const QString& name) { return groups_.FindGroup(name.toStdString()); },
                        this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string name = dialog.Name().toStdString();
  tree_->InsertItemWithPicture(dialog.Name(), nullptr, kalimo::skin::kExpandedGlyph);
  groups_.AddGroupVideo(name, "");
  Save();
  PlayIfIdle(name);
}

QMenu* CMovieResourceDlg::BuildContextMenu() {
  CYYTreeCtrl::Item item = tree_->GetSelectedItem();
  if (!item) return nullptr;
  const bool isVideo = item->data != 0;
  auto* menu = new QMenu("播放列表资源", this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  auto add = [this](QMenu* into, int id, const QString& text, bool enabled) {
    QAction* action = into->addAction(text, this, [this, id] { RunCommand(id); });
    action->setObjectName(QString::number(id));
    action->setEnabled(enabled);
    return action;
  };
  add(menu, kAddVideo, "添加视频", !isVideo);
  add(menu, kRenameGroup, "修改分组", !isVideo);
  add(menu, kDeleteGroup, "删除分组", !isVideo);
  add(menu, kClearGroup, "清空分组的视频列表", !isVideo);
  menu->addSeparator();
  QMenu* modes = menu->addMenu("分组播放模式");
  const VideoGroup* group = groups_.FindGroup(CurrentGroupName());
  const std::int32_t mode = group ? group->playMode : kalimo::PlayOnce;
  const std::pair<int, std::int32_t> modeItems[] = {
      {kModeLoop, kalimo::PlayLoopGroup}, {kModeRepeatOne, kalimo::PlayRepeatOne},
      {kModeOnce, kalimo::PlayOnce}, {kModeSeamless, kalimo::PlaySeamless}};
  const QString modeTexts[] = {"循环播放", "单曲循环", "单曲播放", "使用无缝衔接播放模式（只对一组带动作的视频有意义）"};
  for (std::size_t i = 0; i < std::size(modeItems); ++i) {
    QAction* action = add(modes, modeItems[i].first, modeTexts[i], true);
    action->setCheckable(true);
    action->setChecked(mode == modeItems[i].second);
  }
  menu->addSeparator();
  add(menu, kDeleteVideo, "删除单曲", isVideo);
  add(menu, kBookmarks, "视频书签（视频书签，可以快速的定位到视频的某个位置）", isVideo);
  return menu;
}

void CMovieResourceDlg::ShowContextMenu() {
  // A right click below the last row selects nothing: no menu then.
  if (QMenu* menu = BuildContextMenu()) menu->popup(QCursor::pos());
}

void CMovieResourceDlg::RunCommand(int command) {
  RunGroupCommand(command);
  // What follows the playing video may have changed with the groups.
  sequencer_->RefreshContinuation();
}

void CMovieResourceDlg::RunGroupCommand(int command) {
  CYYTreeCtrl::Item item = tree_->GetSelectedItem();
  switch (command) {
    case kAddVideo:
      if (item && item->data != 0) {
        QMessageBox::information(this, QString(), "请选择组");
      } else {
        AddVideosToGroup(item, item ? Text(item->text) : QString());
      }
      return;
    case kRenameGroup:
      if (item) RenameCurrentGroup();
      return;
    case kDeleteGroup:
      if (!item || !Ask("删除分组会同时删除分组下面的视频列表，是否要删除?")) return;
      groups_.RemoveGroup(item->text);
      tree_->DeleteTreeItem(item);
      Save();
      return;
    case kClearGroup:
      if (!item || !Ask("是否清除此分组下面的视频视频列表?")) return;
      groups_.ClearGroupVideos(item->text);
      Save();
      while (!item->children.empty()) tree_->DeleteTreeItem(item->children.back().get());
      return;
    case kModeLoop:
      return SetMode(kalimo::PlayLoopGroup);
    case kModeRepeatOne:
      return SetMode(kalimo::PlayRepeatOne);
    case kModeOnce:
      return SetMode(kalimo::PlayOnce);
    case kModeSeamless:
      return ChooseSeamless();
    case kDeleteVideo:
      if (!item || !item->parent) return;
      groups_.RemoveGroupVideoAt(item->parent->text, PositionInParent(item));
      tree_->DeleteTreeItem(item);
      Save();
      return;
    case kBookmarks:
      if (item) CDlgOfControlAction(CurrentGroupName(), groups_, *sequencer_, videoWindow_, this).exec();
      return;
    default:
      return;
  }
}

void CMovieResourceDlg::RenameCurrentGroup() {
  CYYTreeCtrl::Item item = tree_->GetSelectedItem();
  const QString oldName = Text(item->text);
  CDialogOfGroup dialog(oldName, [this](const QString& name) { return groups_.FindGroup(name.toStdString()); }, this);
  if (dialog.exec() != QDialog::Accepted || dialog.Name() == oldName) return;
  const std::string newName = dialog.Name().toStdString();
  item->text = newName;
  tree_->viewport()->update();
  if (groups_.FindGroup(oldName.toStdString())) groups_.RenameGroup(oldName.toStdString(), newName);
  // The playing group keeps playing under its new name.
  sequencer_->OnGroupRenamed(oldName.toStdString(), newName);
  Save();
}

void CMovieResourceDlg::SetMode(std::int32_t mode) {
  const std::string name = CurrentGroupName();
  const VideoGroup* group = groups_.FindGroup(name);
  if (!group || group->playMode == mode) return;
  groups_.SetGroupMode(name, mode);
  Save();
}

void CMovieResourceDlg::ChooseSeamless() {
  const std::string name = CurrentGroupName();
  const VideoGroup* group = groups_.FindGroup(name);
  if (!group) return;
  CDlgOfSettingSafePlay dialog(groups_, name, group->seamlessVideo, this);
  if (dialog.exec() != QDialog::Accepted) return;
  bool changed = false;
  if (dialog.ChosenVideo() != group->seamlessVideo) {
    groups_.SetGroupSeamless(name, dialog.ChosenVideo());
    tree_->viewport()->update();
    changed = true;
  }
  if (groups_.FindGroup(name)->playMode != kalimo::PlaySeamless) {
    groups_.SetGroupMode(name, kalimo::PlaySeamless);
    changed = true;
  }
  if (changed) Save();
}

void CMovieResourceDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyLayout();
}

void CMovieResourceDlg::ApplyLayout() {
  // The two buttons stay in the bottom-right corner; the tree fills the rest.
  const int buttonTop = height() - kMargin - kButtonHeight;
  addGroupButton_->setGeometry(width() - kMargin - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
  addButton_->setGeometry(addGroupButton_->x() - kMargin - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
  tree_->setGeometry(kMargin, kMargin, width() - 2 * kMargin, buttonTop - 2 * kMargin);
}
