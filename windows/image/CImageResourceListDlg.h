#pragma once
// The image tab's panel: the user's still images as a strip of thumbnails with its own scroll bar
// (1035, shown only when the thumbnails do not fit), and the picture buttons "添加" (1002),
// "删除" (1019), "清空" (1020), "向上" (1021), "向下" (1022). The list is read from "images.dat"
// when the panel is made, written after every change and once more when the panel goes away.
// The image window asks it for the picture at its position (GetImageAt).
#include <QStringList>
#include <QWidget>
#include <functional>
#include <string>

#include "library/ImageList.h"
#include "windows/skin/CThemeHelperST.h"

class CXPStyleButtonST;
class ImageThumbnailStrip;
class QGroupBox;
class QScrollBar;

class CImageResourceListDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CImageResourceListDlg(QWidget* parent = nullptr);
  ~CImageResourceListDlg() override;

  // The path at `index`; an index at or past the end is set back to 0 first. Empty for no images.
  std::string GetImageAt(std::int32_t& index) const { return images_.GetImageAt(index); }
  const kalimo::ImageList& Images() const { return images_; }

  // What "添加" does with the files the user chose: the pictures among them join the list.
  void AddImageFiles(const QStringList& files);

  // Where "添加" gets its files (an open-file dialog by default) and how a double click opens a
  // picture (the desktop's default application by default; false when that failed).
  void SetFileChooser(std::function<QStringList(QWidget* owner)> chooser) { chooseFiles_ = std::move(chooser); }
  void SetFileOpener(std::function<bool(const QString& path)> opener) { openFile_ = std::move(opener); }

  ImageThumbnailStrip* Strip() const { return strip_; }
  QScrollBar* ScrollBar() const { return scrollBar_; }
  CXPStyleButtonST* AddButton() const { return addButton_; }
  CXPStyleButtonST* DeleteButton() const { return deleteButton_; }
  CXPStyleButtonST* ClearButton() const { return clearButton_; }
  CXPStyleButtonST* UpButton() const { return upButton_; }
  CXPStyleButtonST* DownButton() const { return downButton_; }

  static constexpr const char* kFileFilter = "Image Files (*.jpg *.bmp *.png *.gif *.tga);;All Files (*)";
  static constexpr const char* kSelectFirstText = "请选择需要删除的图片，用鼠标单击就可以了";
  static constexpr const char* kOpenFailedText = "Can’t ShellExecute\n";

 signals:
  // The list changed (added, removed, cleared or reordered).
  void ImagesChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  CXPStyleButtonST* MakeButton(const char* caption, const char* objectName, const char* picture);
  void OnAdd();
  void OnDelete();
  void OnClear();
  void OnMoveUp();
  void OnMoveDown();
  void OnThumbnailClicked(std::int32_t index);
  void OnThumbnailDoubleClicked(std::int32_t index);
  void SetSelectionButtonsEnabled(bool enabled);
  void ApplyLayout();
  // After a change of the list: the scroll position follows the change of the range.
  void ListChanged();
  void UpdateScrollRange();
  int ScrollRange() const;

  kalimo::ImageList images_;
  CThemeHelperST themeHelper_;
  QGroupBox* frame_;
  ImageThumbnailStrip* strip_;
  QScrollBar* scrollBar_;
  CXPStyleButtonST* addButton_;
  CXPStyleButtonST* deleteButton_;
  CXPStyleButtonST* clearButton_;
  CXPStyleButtonST* upButton_;
  CXPStyleButtonST* downButton_;
  std::function<QStringList(QWidget*)> chooseFiles_;
  std::function<bool(const QString&)> openFile_;
  int lastRange_ = 0;
};
