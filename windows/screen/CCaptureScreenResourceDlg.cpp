#include "windows/screen/CCaptureScreenResourceDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>

#include "components/ScreenCaptureApi.h"
#include "library/settings/VendorSite.h"
#include "windows/screen/CWindowPlayingCaptureScreen.h"
#include "windows/screen/ScreenCaptureRun.h"

namespace {

// The component's threads reach the screen window through the frame route, which the window
// itself closes when it is destroyed during a capture.
int ScreenFrameCallback(const void* frame) {
  if (!frame) return 0;
  return CWindowPlayingCaptureScreen::ShowOnRoutedWindow(frame) ? 1 : 0;
}

}  // namespace

CCaptureScreenResourceDlg::CCaptureScreenResourceDlg(CWindowPlayingCaptureScreen* screenWindow, QWidget* parent)
    : QWidget(parent),
      screenWindow_(screenWindow),
      run_(new ScreenCaptureRun(this)),
      regionBox_(new QGroupBox(QStringLiteral("区域选择"), this)),
      optionBox_(new QGroupBox(QStringLiteral("其他"), this)),
      regions_(new QButtonGroup(this)),
      records_(new QButtonGroup(this)) {
  auto addRadio = [this](QButtonGroup* group, int id, const char* text, bool enabled, QRect where) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), this);
    radio->setEnabled(enabled);
    radio->setGeometry(where);
    group->addButton(radio, id);
  };
  regionBox_->setGeometry(10, 10, kGroupWidth, 110);
  addRadio(regions_, kRegionArea, "选择区域", true, QRect(25, 35, kChoiceWidth, 22));
  addRadio(regions_, kRegionWindow, "选择窗口（尚不支持）", false, QRect(25, 60, kChoiceWidth, 22));
  addRadio(regions_, kRegionWholeScreen, "整个屏幕（按ESC退出）", true, QRect(25, 85, kChoiceWidth, 22));
  regions_->button(kRegionArea)->setChecked(true);

  optionBox_->setGeometry(10, 130, kGroupWidth, 160);
  addRadio(records_, 0, "截屏应用到虚拟摄像头", true, QRect(25, 155, kChoiceWidth, 22));
  addRadio(records_, 1, "录制屏幕", false, QRect(25, 180, kChoiceWidth, 22));
  records_->button(0)->setChecked(true);
  auto* noAcceleration = new QCheckBox(QStringLiteral("屏幕捕获时禁掉视频硬件加速"), this);
  noAcceleration->setEnabled(false);
  noAcceleration->setGeometry(25, 205, kChoiceWidth, 22);
  auto* note = new QLabel(QStringLiteral("暂未实现，如果捕获的视频是黑的话）"), this);
  note->setGeometry(25, 230, kChoiceWidth, 22);
  const QString help = QString::fromStdString(kalimo::HelpPageAddress(kHelpPath, kHelpFragment));
  helpLink_ = new QLabel(QStringLiteral("<a href=\"%1\">请手动设置，如何设置，请猛击。。</a>").arg(help.toHtmlEscaped()), this);
  helpLink_->setOpenExternalLinks(true);
  helpLink_->setAccessibleName(QStringLiteral("请手动设置，如何设置，请猛击。。"));
  helpLink_->setGeometry(25, 255, kChoiceWidth, 22);

  startButton_ = new QPushButton(QStringLiteral("开始"), this);
  startButton_->setGeometry(110, 305, 80, 28);
  connect(startButton_, &QPushButton::clicked, this, &CCaptureScreenResourceDlg::Start);
  connect(run_, &ScreenCaptureRun::Finished, this, &CCaptureScreenResourceDlg::Finish);

  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child == regionBox_ || child == optionBox_ || child == startButton_) continue;
    QGroupBox* box = child->y() < optionBox_->y() ? regionBox_ : optionBox_;
    offsets_.insert(child, {box, child->pos() - box->pos()});
  }
  CentreGroups();
}

CCaptureScreenResourceDlg::~CCaptureScreenResourceDlg() {
  delete run_;  // stops a running capture
  CWindowPlayingCaptureScreen::RouteCapturedFrames(nullptr);
}

bool CCaptureScreenResourceDlg::IsCapturing() const { return run_->IsRunning(); }

QRect CCaptureScreenResourceDlg::FloatingRect(QSize screenSize) {
  return QRect(screenSize.width() - kFloatingRightOffset, screenSize.height() - kFloatingBottomOffset, kFloatingWidth,
               kFloatingHeight);
}

MainWindowViews CCaptureScreenResourceDlg::CurrentViews() {
  if (views_) return views_();
  MainWindowViews views;
  if (window() != this) views.mainWindow = window();
  views.resourcePanel = this;
  views.playingWindow = screenWindow_;
  return views;
}

void CCaptureScreenResourceDlg::Start() {
  if (run_->IsRunning()) return;
  regionMode_ = regions_->checkedId();
  recordChoice_ = records_->checkedId();
  run_->Begin(&ScreenFrameCallback, regionMode_, recordChoice_, [this] {
    hidden_ = CurrentViews();
    HideForCapture(hidden_);
    if (!screenWindow_) return;
    savedScreenWindowRect_ = screenWindow_->geometry();
    if (recordChoice_ == 0) {
      const QSize screen = QGuiApplication::primaryScreen()->size();
      screenWindow_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
      screenWindow_->setGeometry(FloatingRect(screen));
      screenWindow_->show();
    }
    screenWindow_->SetCapturing(true);
    CWindowPlayingCaptureScreen::RouteCapturedFrames(screenWindow_);
  });
}

void CCaptureScreenResourceDlg::Finish() {
  // The component has stopped calling: it is unloaded.
  CWindowPlayingCaptureScreen::RouteCapturedFrames(nullptr);
  ShowAfterCapture(hidden_);
  hidden_ = {};
  if (screenWindow_) {
    screenWindow_->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    screenWindow_->setGeometry(savedScreenWindowRect_);
    screenWindow_->show();
    screenWindow_->SetCapturing(false);
  }
  emit CaptureFinished();
}

void CCaptureScreenResourceDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  CentreGroups();
}

void CCaptureScreenResourceDlg::CentreGroups() {
  // In a panel narrower than the groups (the main window's tab is) the groups take its width less
  // a margin, so that their titles and the beginnings of the choices are not cut off at the left.
  for (QGroupBox* box : {regionBox_, optionBox_})
    box->resize(std::min(kGroupWidth, std::max(kGroupMinimumWidth, width() - 2 * kGroupMargin)), box->height());
  for (QWidget* centred : {static_cast<QWidget*>(regionBox_), static_cast<QWidget*>(optionBox_),
                           static_cast<QWidget*>(startButton_)})
    centred->move((width() - centred->width()) / 2, centred->y());
  for (auto it = offsets_.cbegin(); it != offsets_.cend(); ++it) {
    const QGroupBox* box = it.value().first;
    const QPoint offset = it.value().second;
    it.key()->move(box->pos() + offset);
    it.key()->resize(std::min(kChoiceWidth, box->width() - 2 * offset.x()), it.key()->height());
  }
}
