#include "windows/image/CImageResourceListDlg.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

#include "common/Messages.h"
#include "windows/image/ImageThumbnailStrip.h"
#include "windows/skin/CXPStyleButtonST.h"

namespace {

constexpr int kMargin = 6;
constexpr int kButtonSize = 36;
constexpr int kButtonGap = 4;
constexpr int kButtonCount = 5;
// The strip is about this wide, centred in its frame, when the frame is wider.
constexpr int kStripWidth = 133;

}  // namespace

CImageResourceListDlg::CImageResourceListDlg(QWidget* parent)
    : QWidget(parent),
      frame_(new QGroupBox(this)),
      strip_(new ImageThumbnailStrip(images_, this)),
      scrollBar_(new QScrollBar(Qt::Vertical, this)),
      addButton_(MakeButton("添加", "1002", "addMovie.png")),
      deleteButton_(MakeButton("删除", "1019", "Delete.png")),
      clearButton_(MakeButton("清空", "1020", "Clear.png")),
      upButton_(MakeButton("向上", "1021", "up.png")),
      downButton_(MakeButton("向下", "1022", "down.png")),
      chooseFiles_([](QWidget* owner) {
        return QFileDialog::getOpenFileNames(owner, QString(), QString(), QString::fromUtf8(kFileFilter));
      }),
      openFile_([](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }) {
  frame_->setObjectName(QStringLiteral("1032"));
  scrollBar_->setObjectName(QStringLiteral("1035"));
  scrollBar_->setSingleStep(ImageThumbnailStrip::kPitch);
  scrollBar_->hide();
  strip_->raise();

  images_.Load();
  lastRange_ = ScrollRange();  // the list as read is no change: the strip starts at its top
  if (images_.IsEmpty()) {
    clearButton_->setEnabled(false);
    SetSelectionButtonsEnabled(false);
  }

  connect(addButton_, &QPushButton::clicked, this, &CImageResourceListDlg::OnAdd);
  connect(deleteButton_, &QPushButton::clicked, this, &CImageResourceListDlg::OnDelete);
  connect(clearButton_, &QPushButton::clicked, this, &CImageResourceListDlg::OnClear);
  connect(upButton_, &QPushButton::clicked, this, &CImageResourceListDlg::OnMoveUp);
  connect(downButton_, &QPushButton::clicked, this, &CImageResourceListDlg::OnMoveDown);
  connect(strip_, &ImageThumbnailStrip::Clicked, this, &CImageResourceListDlg::OnThumbnailClicked);
  connect(strip_, &ImageThumbnailStrip::DoubleClicked, this, &CImageResourceListDlg::OnThumbnailDoubleClicked);
  connect(strip_, &ImageThumbnailStrip::WheelTurned, this, [this](int lines) {
    scrollBar_->setValue(scrollBar_->value() + lines * scrollBar_->singleStep());
  });
  connect(scrollBar_, &QScrollBar::valueChanged, strip_, &ImageThumbnailStrip::SetScrollPosition);

  resize(226, 352);
  ApplyLayout();
}

CImageResourceListDlg::~CImageResourceListDlg() { images_.Save(); }

CXPStyleButtonST* CImageResourceListDlg::MakeButton(const char* caption, const char* objectName, const char* picture) {
  auto* button = new CXPStyleButtonST(QString::fromUtf8(caption), this);
  button->setObjectName(QString::fromUtf8(objectName));
  button->SetUpPictureButton(&themeHelper_, QString::fromUtf8(picture));
  button->resize(kButtonSize, kButtonSize);
  return button;
}

void CImageResourceListDlg::SetSelectionButtonsEnabled(bool enabled) {
  deleteButton_->setEnabled(enabled);
  upButton_->setEnabled(enabled);
  downButton_->setEnabled(enabled);
}

void CImageResourceListDlg::AddImageFiles(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(file.toStdString());
  // A file chosen again may have changed since its thumbnail was made.
  for (const QString& file : files) strip_->Thumbnails().Forget(file);
  if (images_.AddImages(paths) == 0) return;
  clearButton_->setEnabled(true);
  ListChanged();
}

void CImageResourceListDlg::OnAdd() { AddImageFiles(chooseFiles_(this)); }

void CImageResourceListDlg::OnDelete() {
  if (!images_.DeleteSelected()) {
    kalimo::ShowWarning(kSelectFirstText);
    return;
  }
  SetSelectionButtonsEnabled(false);
  if (images_.IsEmpty()) clearButton_->setEnabled(false);
  ListChanged();
}

void CImageResourceListDlg::OnClear() {
  images_.Clear();
  clearButton_->setEnabled(false);
  SetSelectionButtonsEnabled(false);
  ListChanged();
}

void CImageResourceListDlg::OnMoveUp() {
  if (images_.MoveSelectedUp()) ListChanged();
}

void CImageResourceListDlg::OnMoveDown() {
  if (images_.MoveSelectedDown()) ListChanged();
}

void CImageResourceListDlg::OnThumbnailClicked(std::int32_t index) {
  images_.Select(index);
  strip_->update();
  SetSelectionButtonsEnabled(images_.HasSelection());
}

void CImageResourceListDlg::OnThumbnailDoubleClicked(std::int32_t index) {
  std::int32_t position = index;
  const QString path = QString::fromStdString(images_.GetImageAt(position));
  if (!openFile_(path)) kalimo::ShowWarning(kOpenFailedText);
}

void CImageResourceListDlg::ListChanged() {
  strip_->update();
  UpdateScrollRange();
  emit ImagesChanged();
}

int CImageResourceListDlg::ScrollRange() const { return images_.Count() * ImageThumbnailStrip::kPitch; }

void CImageResourceListDlg::UpdateScrollRange() {
  const int range = ScrollRange();
  const int page = strip_->height();
  // The strip scrolls until its last thumbnail shows whole, with the top margin below it.
  const int lastPosition = std::max(0, range + ImageThumbnailStrip::kTopMargin - page);
  const int position = std::clamp(scrollBar_->value() + range - lastRange_, 0, lastPosition);
  lastRange_ = range;
  scrollBar_->setPageStep(std::max(1, page));
  scrollBar_->setRange(0, lastPosition);
  scrollBar_->setValue(position);
  strip_->SetScrollPosition(scrollBar_->value());
  scrollBar_->setVisible(page < range);
}

void CImageResourceListDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyLayout();
}

void CImageResourceListDlg::ApplyLayout() {
  const int buttonTop = height() - kMargin - kButtonSize;
  int x = width() - kMargin - kButtonCount * kButtonSize - (kButtonCount - 1) * kButtonGap;
  for (CXPStyleButtonST* button : {addButton_, deleteButton_, clearButton_, upButton_, downButton_}) {
    button->move(x, buttonTop);
    x += kButtonSize + kButtonGap;
  }
  const int scrollWidth = scrollBar_->sizeHint().width();
  scrollBar_->setGeometry(width() - scrollWidth, 0, scrollWidth, std::max(0, buttonTop - kMargin));
  const QRect box(kMargin, kMargin, std::max(0, width() - 2 * kMargin - scrollWidth),
                  std::max(0, buttonTop - 2 * kMargin));
  frame_->setGeometry(box);
  const int sideMargin = box.width() < kStripWidth + 1 ? 10 : (box.width() - kStripWidth) / 2;
  strip_->setGeometry(box.adjusted(sideMargin, 10, -sideMargin, -10));
  scrollBar_->setValue(0);
  UpdateScrollRange();
}
