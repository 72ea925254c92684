#pragma once
// The bookmark editor of one group: the group's videos in a combo box, the chosen video's
// bookmarks as rows of name and start time, adding and changing them through the capture dialog,
// deleting, importing and exporting them as a text file, and triggering one in the video window.
// Changes are kept in memory and written to "actionAndMovie.dat" only by "保存且退出".
#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "library/BookmarkStore.h"
#include "library/GroupSequencer.h"
#include "library/VideoGroupStore.h"

class QComboBox;
class QTableWidget;
class CWindowPlayingVideo;

class CDlgOfControlAction : public QDialog {
  Q_OBJECT

 public:
  // The file dialogs of "导入" and "导出" (a test replaces them); an empty path is a cancel.
  using PathChooser = std::function<QString(QWidget* owner, bool forSaving)>;
  static constexpr int kRowHeight = 32;
  static constexpr int kNameColumnWidth = 200;

  // The editor of `groupName`'s bookmarks: the group's videos come from `groups`, a bookmark is
  // triggered through `sequencer` into `videoWindow` (whose player the capture dialog shares the
  // file with); `parent` owns the dialog.
  CDlgOfControlAction(const std::string& groupName, const kalimo::VideoGroupStore& groups,
                      kalimo::GroupSequencer& sequencer, CWindowPlayingVideo* videoWindow, QWidget* parent);

  QComboBox* Videos() const { return videos_; }
  QTableWidget* Rows() const { return rows_; }
  bool IsModified() const { return modified_; }
  const kalimo::BookmarkStore& Store() const { return store_; }
  void SetPathChooser(PathChooser chooser) { choosePath_ = std::move(chooser); }

  // The buttons' commands.
  void AddBookmark();
  void ModifyBookmark();
  void DeleteBookmark();
  void TriggerSelectedBookmark();
  void ImportBookmarks();
  void ExportBookmarks();
  void SaveAndExit();
  void ExitWithoutSaving();

 public slots:
  void reject() override;

 private:
  std::vector<kalimo::Bookmark> ListedRows() const;
  void ShowRows(const std::vector<kalimo::Bookmark>& rows);
  void ShowBookmarkRows();
  void StoreBookmarkRows();
  std::string SelectedVideoPath() const;
  int SelectedRow() const;
  // Runs the capture dialog for `row` (empty for a new one); true and the row on OK.
  bool CaptureBookmark(kalimo::Bookmark& row);
  void Inform(const QString& text);
  bool Ask(const QString& question);

  std::string groupName_;
  const kalimo::VideoGroupStore& groups_;
  kalimo::GroupSequencer& sequencer_;
  CWindowPlayingVideo* videoWindow_;
  kalimo::BookmarkStore store_;
  bool modified_ = false;
  QComboBox* videos_;
  QTableWidget* rows_;
  PathChooser choosePath_;
};
