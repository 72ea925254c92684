#pragma once
// The video group panel of the main window: a tree with one item per group and one per video,
// "添加" and "添加分组" below it, and a context menu on the tree. It owns the groups (saved to
// "chapters.dat" after every change) and the group sequencing, and plays through the video window
// it is given.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "library/GroupSequencer.h"
#include "library/VideoGroupStore.h"
#include "windows/skin/CThemeHelperST.h"
#include "windows/skin/CYYTreeCtrl.h"

class QMenu;
class CWindowPlayingVideo;
class CXPStyleButtonST;

class CMovieResourceDlg : public QWidget {
  Q_OBJECT

 public:
  // Menu command ids.
  enum Command {
    kAddVideo = 32800,
    kRenameGroup = 32787,
    kDeleteGroup = 32797,
    kClearGroup = 32788,
    kModeLoop = 32791,
    kModeRepeatOne = 32793,
    kModeOnce = 32792,
    kModeSeamless = 32802,
    kDeleteVideo = 32794,
    kBookmarks = 32795,
  };
  using FileChooser = std::function<QStringList(QWidget* owner)>;

  // Loads the groups, fills the tree and, once the event loop runs, starts the first video of the
  // first group in `videoWindow` (which may be null: nothing plays).
  explicit CMovieResourceDlg(CWindowPlayingVideo* videoWindow, QWidget* parent = nullptr);
  ~CMovieResourceDlg() override;

  const kalimo::VideoGroupStore& Groups() const { return groups_; }
  kalimo::GroupSequencer& Sequencer() { return *sequencer_; }
  CYYTreeCtrl* Tree() const { return tree_; }
  CWindowPlayingVideo* VideoWindow() const { return videoWindow_; }

  // The context menu for the current item with its greying and check marks; its actions carry
  // the command ids as object names. Null when there is no current item.
  QMenu* BuildContextMenu();
  void RunCommand(int command);
  // "添加": videos into the group named after their folder.
  void AddVideos();
  // "添加分组".
  void AddGroup();
  // The file dialog of "添加" and "添加视频" (a test replaces it).
  void SetFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }

  // Plays the tree's selected video (a double click).
  void PlaySelectedItem();
  bool IsSeamlessItem(CYYTreeCtrl::Item item) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Playback;
  class Markers;

  void FillTree();
  void AutoPlay();
  void ShowContextMenu();
  void RunGroupCommand(int command);
  void AddVideosToGroup(CYYTreeCtrl::Item groupItem, const QString& groupName);
  void PlayIfIdle(const std::string& groupName);
  CYYTreeCtrl::Item FindGroupItem(const std::string& name) const;
  static int PositionInParent(CYYTreeCtrl::Item item);
  // The group of the current item: its own name, or its parent's for a video.
  std::string CurrentGroupName() const;
  bool Ask(const QString& question);
  void Save() const;
  void SetMode(std::int32_t mode);
  void ChooseSeamless();
  void RenameCurrentGroup();
  void ApplyLayout();

  kalimo::VideoGroupStore groups_;
  CWindowPlayingVideo* videoWindow_;
  std::unique_ptr<Playback> playback_;
  std::unique_ptr<Markers> markers_;
  std::unique_ptr<kalimo::GroupSequencer> sequencer_;
  CThemeHelperST themeHelper_;
  CYYTreeCtrl* tree_;
  CXPStyleButtonST* addButton_;
  CXPStyleButtonST* addGroupButton_;
  FileChooser chooseFiles_;
};
