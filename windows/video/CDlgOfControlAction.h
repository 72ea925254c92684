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

class QComboBox;
class QTableWidget;
class CMovieResourceDlg;

class CDlgOfControlAction : public QDialog {
  Q_OBJECT

 public:
  // The file dialogs of "导入" and "导出" (a test replaces them); an empty path is a cancel.
  using PathChooser = std::function<QString(QWidget* owner, bool forSaving)>;
  static constexpr int kRowHeight = 32;
  static constexpr int kNameColumnWidth = 200;

  CDlgOfControlAction(const std::string& groupName, CMovieResourceDlg* panel);

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
  CMovieResourceDlg* panel_;
  kalimo::BookmarkStore store_;
  bool modified_ = false;
  QComboBox* videos_;
  QTableWidget* rows_;
  PathChooser choosePath_;
};
