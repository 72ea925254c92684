#include "windows/video/CDlgOfControlAction.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "windows/base/DialogUnits.h"
#include "windows/video/CDlgOfAddAction.h"
#include "windows/video/CWindowPlayingVideo.h"

using kalimo::Bookmark;
using kalimo::BookmarkStore;

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QString ChoosePathByDialog(QWidget* owner, bool forSaving) {
  // The save dialog asks before an existing file is named; the export still never replaces one.
  return forSaving ? QFileDialog::getSaveFileName(owner, QString(), QString(), QString(), nullptr,
                                                  QFileDialog::DontUseNativeDialog)
                   : QFileDialog::getOpenFileName(owner, QString(), QString(), QString(), nullptr,
                                                  QFileDialog::ReadOnly | QFileDialog::DontUseNativeDialog);
}

}  // namespace

CDlgOfControlAction::CDlgOfControlAction(const std::string& groupName, const kalimo::VideoGroupStore& groups,
                                         kalimo::GroupSequencer& sequencer, CWindowPlayingVideo* videoWindow,
                                         QWidget* parent)
    : QDialog(parent),
      groupName_(groupName),
      groups_(groups),
      sequencer_(sequencer),
      videoWindow_(videoWindow),
      choosePath_(ChoosePathByDialog) {
  setObjectName("157");
  setWindowTitle("视频书签编辑界面");
  resize(DialogUnitsSize(255, 218));
  store_.Load();

  auto* hint = new QLabel("温馨提示：该功能只对一个比较长的视频有意义，可以快速的定位到视频书签所在位置！！！！");
  hint->setObjectName("1101");
  hint->setWordWrap(true);
  hint->setStyleSheet("color: rgb(0, 0, 255)");
  videos_ = new QComboBox;
  videos_->setObjectName("1004");
  videos_->setAccessibleName("视频名：");
  // Entries stay in group order, so an entry's index is the video's position.
  const std::int32_t count = groups.GetGroupVideoCount(groupName_);
  for (std::int32_t position = 0; position < count; ++position) {
    videos_->insertItem(position, Text(kalimo::VideoFileName(groups.GetGroupVideoAt(groupName_, position))));
  }
  // The playing video when it is of this group; positions of another group mean nothing here.
  const std::int32_t playing = sequencer.CurrentGroupName() == groupName_ ? sequencer.CurrentIndex() : -1;
  videos_->setCurrentIndex(playing >= 0 && playing < count ? playing : (count > 0 ? 0 : -1));

  rows_ = new QTableWidget(0, 2);
  rows_->setObjectName("1000");
  rows_->setHorizontalHeaderLabels({"动作名称", "动作在视频中的开始时间"});
  rows_->horizontalHeader()->resizeSection(0, kNameColumnWidth);
  rows_->horizontalHeader()->setStretchLastSection(true);
  rows_->verticalHeader()->hide();
  rows_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  rows_->setShowGrid(true);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rows_->setSelectionMode(QAbstractItemView::SingleSelection);
  rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto button = [this](const QString& text, const char* id, void (CDlgOfControlAction::*command)()) {
    auto* pushButton = new QPushButton(text);
    pushButton->setObjectName(id);
    pushButton->setAutoDefault(false);
    connect(pushButton, &QPushButton::clicked, this, command);
    return pushButton;
  };
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("视频名："));
  top->addWidget(videos_, 1);
  top->addWidget(button("导入", "1056", &CDlgOfControlAction::ImportBookmarks));
  top->addWidget(button("导出", "1057", &CDlgOfControlAction::ExportBookmarks));
  auto* commands = new QHBoxLayout;
  commands->addWidget(button("开始触发该书签", "1009", &CDlgOfControlAction::TriggerSelectedBookmark));
  commands->addWidget(button("添加书签", "1055", &CDlgOfControlAction::AddBookmark));
  commands->addWidget(button("修改书签", "1019", &CDlgOfControlAction::ModifyBookmark));
  commands->addWidget(button("删除书签", "1054", &CDlgOfControlAction::DeleteBookmark));
  auto* exits = new QHBoxLayout;
  exits->addStretch();
  exits->addWidget(button("退出（不保存）", "1002", &CDlgOfControlAction::ExitWithoutSaving));
  exits->addWidget(button("保存且退出", "1001", &CDlgOfControlAction::SaveAndExit));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addLayout(top);
  layout->addWidget(rows_, 1);
  layout->addLayout(commands);
  layout->addLayout(exits);

  connect(videos_, &QComboBox::currentIndexChanged, this, &CDlgOfControlAction::ShowBookmarkRows);
  ShowBookmarkRows();
}

std::vector<Bookmark> CDlgOfControlAction::ListedRows() const {
  std::vector<Bookmark> rows;
  for (int row = 0; row < rows_->rowCount(); ++row) {
    rows.push_back({rows_->item(row, 0)->text().toStdString(), rows_->item(row, 1)->text().toStdString()});
  }
  return rows;
}

void CDlgOfControlAction::ShowRows(const std::vector<Bookmark>& rows) {
  rows_->setRowCount(0);
  for (const Bookmark& bookmark : rows) {
    const int row = rows_->rowCount();
    rows_->insertRow(row);
    rows_->setItem(row, 0, new QTableWidgetItem(Text(bookmark.name)));
    rows_->setItem(row, 1, new QTableWidgetItem(Text(bookmark.time)));
  }
}

std::string CDlgOfControlAction::SelectedVideoPath() const {
  if (videos_->currentIndex() < 0) return {};
  return groups_.GetGroupVideoAt(groupName_, videos_->currentIndex());
}

void CDlgOfControlAction::ShowBookmarkRows() {
  if (videos_->currentIndex() < 0) return;
  ShowRows(store_.Rows(BookmarkStore::Key(groupName_, SelectedVideoPath())));
}

void CDlgOfControlAction::StoreBookmarkRows() {
  // Without a chosen video the rows have no key to go under.
  if (videos_->currentIndex() < 0) return;
  const BookmarkStore::StoreResult result = store_.Store(BookmarkStore::Key(groupName_, SelectedVideoPath()), ListedRows());
  if (result == BookmarkStore::StoreResult::kTooLong) {
    Inform(BookmarkStore::kTooManyMessage);
    return;
  }
  modified_ = true;
}

int CDlgOfControlAction::SelectedRow() const {
  const QList<QTableWidgetSelectionRange> ranges = rows_->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

bool CDlgOfControlAction::CaptureBookmark(Bookmark& row) {
  CDlgOfAddAction capture(Text(row.name), Text(row.time), this);
  if (videos_->currentIndex() >= 0) {
    capture.SetVideoPath(SelectedVideoPath());
    // One video at a time on the screen: the preview plays in the dialog.
    if (videoWindow_) videoWindow_->hide();
  }
  const bool confirmed = capture.exec() == QDialog::Accepted;
  if (videoWindow_) videoWindow_->show();
  if (confirmed) row = {capture.Name().toStdString(), capture.TimeText().toStdString()};
  return confirmed;
}

void CDlgOfControlAction::AddBookmark() {
  Bookmark row;
  if (!CaptureBookmark(row)) return;
  const int at = rows_->rowCount();
  rows_->insertRow(at);
  rows_->setItem(at, 0, new QTableWidgetItem(Text(row.name)));
  rows_->setItem(at, 1, new QTableWidgetItem(Text(row.time)));
  StoreBookmarkRows();
}

void CDlgOfControlAction::ModifyBookmark() {
  const int selected = SelectedRow();
  if (selected < 0) return Inform("请选择一行才能修改，谢谢");
  Bookmark row = ListedRows()[static_cast<std::size_t>(selected)];
  if (!CaptureBookmark(row)) return;
  rows_->item(selected, 0)->setText(Text(row.name));
  rows_->item(selected, 1)->setText(Text(row.time));
  StoreBookmarkRows();
}

void CDlgOfControlAction::DeleteBookmark() {
  const int selected = SelectedRow();
  if (selected < 0) return Inform("请选择一行才能删除，谢谢");
  rows_->removeRow(selected);
  StoreBookmarkRows();
}

void CDlgOfControlAction::TriggerSelectedBookmark() {
  const int selected = SelectedRow();
  if (selected < 0) return Inform("请选择一行才能启动动作，谢谢");
  const std::optional<kalimo::BookmarkTime> time = kalimo::ParseBookmarkTime(rows_->item(selected, 1)->text().toStdString());
  if (!time || videos_->currentIndex() < 0) return;
  sequencer_.TriggerBookmark(groupName_, videos_->currentIndex(), time->TotalSeconds(), [this] {
    return Ask("您要触发动作的自拍录像不在播放状态，请问是否要播放它并触发该动作？");
  });
}

void CDlgOfControlAction::ImportBookmarks() {
  const QString path = choosePath_(this, false);
  if (path.isEmpty()) return;
  const std::optional<std::string> text = kalimo::ImportBookmarkText(path.toStdString());
  if (!text) return Inform("导入失败，请重试");
  ShowRows(kalimo::ParseBookmarkText(*text));
  StoreBookmarkRows();
}

void CDlgOfControlAction::ExportBookmarks() {
  const std::string text = kalimo::JoinBookmarkRows(ListedRows());
  if (text.empty()) return Inform("动作列表位空，不需要导出");
  const QString chosen = choosePath_(this, true);
  if (chosen.isEmpty()) return;
  if (!kalimo::ExportBookmarkText(text, kalimo::ExportFilePath(chosen.toStdString()))) {
    return Inform("导出失败，请重试");
  }
  StoreBookmarkRows();
}

void CDlgOfControlAction::SaveAndExit() {
  // A failed write leaves the previous file in place; the list file's writer logs it.
  store_.Save();
  accept();
}

void CDlgOfControlAction::ExitWithoutSaving() {
  if (modified_ && !Ask("点击退出会不保存刚添加的动作信息，是否退出窗口？")) return;
  QDialog::reject();
}

void CDlgOfControlAction::reject() {
  // The close box and Escape.
  if (modified_ && !Ask("点击关闭会不保存刚添加的动作信息，是否关闭窗口？")) return;
  QDialog::reject();
}

void CDlgOfControlAction::Inform(const QString& text) { QMessageBox::information(this, QString(), text); }

bool CDlgOfControlAction::Ask(const QString& question) {
  return QMessageBox::question(this, "询问", question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}
