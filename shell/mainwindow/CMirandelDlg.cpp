#include "shell/mainwindow/CMirandelDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QWindow>

#include "common/Logging.h"
#include "common/Messages.h"
#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"
#include "shell/mainwindow/MainTrayIcon.h"
#include "shell/mainwindow/MainWindowGeometry.h"
#include "shell/settings/CSettingDlg.h"
#include "shell/sidewindows/CAboutDlg.h"
#include "shell/sidewindows/CHelpDlg.h"
#include "shell/sidewindows/ProgramIcon.h"
#include "windows/screen/ScreenRecording.h"
#include "windows/skin/CTabCtrlEx.h"
#include "windows/skin/CXPStyleButtonST.h"

namespace kalimo {

namespace {
// The layout of the window's inside, in pixels (the template's dialog units at 1.5 x 1.625).
constexpr int kButtonTop = 15;
constexpr QSize kButtonSize{28, 28};
constexpr QRect kTabControl{0, 81, 267, 460};
constexpr int kHighlightedTab = 2;

const QString kShowPlayingWindowTip = QStringLiteral("显示视频图像窗口");
const QString kHidePlayingWindowTip = QStringLiteral("隐藏视频图像窗口");
}  // namespace

CMirandelDlg::CMirandelDlg(QWidget* parent)
    : CColorTitleDlg(parent, true, skin::kMinimizeBox) {
  // Hidden in the tray, the program has no visible window, and it must go on running.
  QApplication::setQuitOnLastWindowClosed(false);
  setWindowTitle(QStringLiteral("Kalimo"));
  AddAboutToSystemMenu();
  if (const QIcon icon = ProgramIcon(); !icon.isNull()) setWindowIcon(icon);
  const QMargins frame = contentsMargins();
  setFixedSize(kClientSize.width() + frame.left() + frame.right(), kClientSize.height() + frame.top() + frame.bottom());

  tabControl_ = new QWidget(ClientArea());
  tabControl_->setObjectName(QStringLiteral("tabControl"));
  tabControl_->setGeometry(kTabControl);
  QPalette page = tabControl_->palette();
  page.setColor(QPalette::Window, Qt::white);
  tabControl_->setPalette(page);
  tabControl_->setAutoFillBackground(true);
  tabs_ = new CTabCtrlEx(tabControl_);
  for (const SourceTab& tab : kSourceTabs) tabs_->addTab(QString::fromUtf8(tab.text));
  tabs_->HighlightItem(kHighlightedTab, true);
  tabs_->SetItemSize(QSize(32, 32));
  tabs_->SetMinTabWidth(50);
  tabs_->SetDrawStyle(1);
  tabs_->move(0, 0);
  tabs_->resize(kTabControl.width(), tabs_->sizeHint().height());

  // The tabs read the settings (the camera's name, the storage folders) when they are made.
  CreateSettingParams();
  PrepareStorageFolders();

  currentTab_ = 0;
  CreatePair();
  const QRect screen = this->screen() ? this->screen()->geometry() : QRect(0, 0, 1024, 768);
  move(CentredMainWindowPosition(screen, size()));
  pair_.playingWindow->setGeometry(DockedPlayingWindow(frameGeometry()));
  PlaceResourcePanel();
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0) SwitchToTab(index);
  });

  auto* record = AddPictureButton(QStringLiteral("录制视频"), QStringLiteral("recorder.png"), 146);
  auto* settings = AddPictureButton(QStringLiteral("参数设置"), QStringLiteral("Setting.png"), 177);
  auto* help = AddPictureButton(QStringLiteral("帮助"), QStringLiteral("Help.png"), 209);
  playingWindowButton_ = AddPictureButton(kHidePlayingWindowTip, QStringLiteral("ShowOrHideSMW.png"), 239);
  connect(help, &QPushButton::clicked, this, [this] { OpenHelpDialog(this); });
  connect(settings, &QPushButton::clicked, this, [this] { OpenSettingDialog(this); });
  connect(playingWindowButton_, &QPushButton::clicked, this, &CMirandelDlg::TogglePlayingWindow);
  // "录制视频": the record option dialog, then the screen recorded into the movie folder.
  auto* recording = new ScreenRecording([this] { return CurrentViews(); }, this);
  connect(record, &QPushButton::clicked, recording, [this, recording] { recording->Run(this); });

  tray_ = new MainTrayIcon(this);
  connect(tray_, &MainTrayIcon::RestoreRequested, this, &CMirandelDlg::RestoreFromTray);
  connect(tray_, &MainTrayIcon::ShowMainRequested, this, [this] {
    // The panel belongs to the main window; the playing window keeps its state.
    if (pair_.panel) pair_.panel->show();
    showNormal();
    raise();
    activateWindow();
  });
  connect(tray_, &MainTrayIcon::AboutRequested, this, [this] { OpenAboutDialog(this); });
  connect(tray_, &MainTrayIcon::ExitRequested, this, &CMirandelDlg::ConfirmExit);
}

CMirandelDlg::~CMirandelDlg() { DeletePair(); }

CXPStyleButtonST* CMirandelDlg::AddPictureButton(const QString& caption, const QString& picture, int x) {
  auto* button = new CXPStyleButtonST(caption, ClientArea());
  button->SetUpPictureButton(&themeHelper_, picture);
  button->setGeometry(QRect(QPoint(x, kButtonTop), kButtonSize));
  return button;
}

void CMirandelDlg::AddAboutToSystemMenu() {
  QMenu* menu = SystemMenu();
  menu->addSeparator();
  menu->addAction(QStringLiteral("关于 Kalimo(&A)..."), this, [this] { OpenAboutDialog(this); });
}

void CMirandelDlg::SetPlayingWindowButtonTip(const QString& text) { playingWindowButton_->SetTipText(text); }

void CMirandelDlg::PlayingWindowHidden() { SetPlayingWindowButtonTip(kShowPlayingWindowTip); }

MainWindowViews CMirandelDlg::CurrentViews() {
  return {this, pair_.panel, pair_.playingWindow, [this](const QString& tip) { SetPlayingWindowButtonTip(tip); }};
}

void CMirandelDlg::SwitchToTab(int index) {
  if (index == currentTab_ || index < 0 || index >= kSourceTabCount) return;
  DeletePair();
  currentTab_ = index;
  CreatePair();
  PlaceResourcePanel();
  DockPlayingWindow();
}

void CMirandelDlg::CreatePair() {
  pair_ = kSourceTabs[currentTab_].make(this, tabControl_);
  pair_.panel->show();
  // Owned: the window manager keeps the playing window above the main window and raises both
  // together (a second start, the tray).
  winId();
  pair_.playingWindow->winId();
  if (QWindow* owned = pair_.playingWindow->windowHandle()) owned->setTransientParent(windowHandle());
}

// The playing window goes first: its destruction stops the source that the panel may drive.
void CMirandelDlg::DeletePair() {
  delete pair_.playingWindow;
  pair_.playingWindow = nullptr;
  delete pair_.panel;
  pair_.panel = nullptr;
}

void CMirandelDlg::PlaceResourcePanel() {
  if (pair_.panel) pair_.panel->setGeometry(ResourcePanelRect(tabControl_->size()));
}

void CMirandelDlg::DockPlayingWindow() {
  if (!pair_.playingWindow) return;
  pair_.playingWindow->setGeometry(DockedPlayingWindow(frameGeometry()));
  pair_.playingWindow->show();
  pair_.playingWindow->raise();
}

void CMirandelDlg::moveEvent(QMoveEvent* event) {
  CColorTitleDlg::moveEvent(event);
  PlaceResourcePanel();
  // The playing window follows only while it touched the main window where the main window was.
  CColorTitleDlg* playing = pair_.playingWindow;
  if (!playing || !playing->isVisible()) return;
  const QRect before(event->oldPos(), frameGeometry().size());
  if (!TouchesRightEdge(before, playing->frameGeometry())) return;
  playing->move(frameGeometry().topRight() + QPoint(1, 0));
  playing->show();
}

// The playing window comes with the main window the first time it shows.
void CMirandelDlg::showEvent(QShowEvent* event) {
  CColorTitleDlg::showEvent(event);
  if (shownBefore_) return;
  shownBefore_ = true;
  DockPlayingWindow();
}

void CMirandelDlg::resizeEvent(QResizeEvent* event) {
  CColorTitleDlg::resizeEvent(event);
  PlaceResourcePanel();
}

void CMirandelDlg::SetAllVisible(bool visible) {
  for (QWidget* window : {static_cast<QWidget*>(this), pair_.panel, static_cast<QWidget*>(pair_.playingWindow)}) {
    if (window) window->setVisible(visible);
  }
}

void CMirandelDlg::HideToTray() {
  if (!MainTrayIcon::Available()) {
    KALIMO_LOG_INFO("no notification area on this desktop: the main window is minimised instead of hidden");
    showMinimized();
    return;
  }
  SetAllVisible(false);
  SetPlayingWindowButtonTip(kShowPlayingWindowTip);
}

void CMirandelDlg::RestoreFromTray() {
  SetAllVisible(true);
  showNormal();
  raise();
  activateWindow();
  SetPlayingWindowButtonTip(kHidePlayingWindowTip);
}

void CMirandelDlg::TogglePlayingWindow() {
  if (!pair_.playingWindow) return;
  const bool wasVisible = pair_.playingWindow->isVisible();
  pair_.playingWindow->setVisible(!wasVisible);
  // The tip names what the next press does.
  SetPlayingWindowButtonTip(wasVisible ? kShowPlayingWindowTip : kHidePlayingWindowTip);
}

void CMirandelDlg::ConfirmExit() {
  if (!AskQuestion("是否确实要退出系统?")) return;
  DeletePair();
  accept();
}

void CMirandelDlg::done(int result) {
  DeletePair();
  CColorTitleDlg::done(result);
}

void CMirandelDlg::MinimizeWindow() { HideToTray(); }

// Closing from the frame or the window manager hides to the tray. Without a tray there is nothing
// to hide into: then closing asks whether to end the program.
void CMirandelDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (MainTrayIcon::Available()) {
    HideToTray();
  } else {
    ConfirmExit();
  }
}

// Escape would end the dialog; the main window ends only through the exit question.
void CMirandelDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CColorTitleDlg::keyPressEvent(event);
}

}  // namespace kalimo
