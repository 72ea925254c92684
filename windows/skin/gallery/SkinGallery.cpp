// kalimo-skin-gallery: the skinned window frame and controls in their states, for screenshots and
// for the tests that drive them from outside (assistive technology, the mouse). Every action a
// user takes is printed as one line on standard output ("clicked 帮助", "tab 图像", ...).
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cstdio>

#include "windows/skin/CColorTitleDlg.h"
#include "windows/skin/CTabCtrlEx.h"
#include "windows/skin/CThemeHelperST.h"
#include "windows/skin/CXPStyleButtonST.h"
#include "windows/skin/CYYTreeCtrl.h"
#include "windows/skin/SkinResources.h"

namespace {

void Report(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

// A skinned window that reports its minimise and close.
class GalleryWindow : public CColorTitleDlg {
 public:
  GalleryWindow(const QString& title, bool showIcon, unsigned boxes) : CColorTitleDlg(nullptr, showIcon, boxes) {
    setWindowTitle(title);
  }

 protected:
  void MinimizeWindow() override {
    Report("minimized " + windowTitle());
    CColorTitleDlg::MinimizeWindow();
  }
  void mousePressEvent(QMouseEvent* event) override {
    // Reported once the frame has handled the press (a move or resize has been asked for), so a
    // test driving the mouse knows when to go on.
    CColorTitleDlg::mousePressEvent(event);
    Report("pressed " + windowTitle());
  }
  void closeEvent(QCloseEvent* event) override {
    Report("closed " + windowTitle());
    CColorTitleDlg::closeEvent(event);
  }
};

CXPStyleButtonST* PictureButton(const QString& caption, const QString& picture, const CThemeHelperST& helper,
                                QWidget* parent) {
  auto* button = new CXPStyleButtonST(caption, parent);
  button->SetUpPictureButton(&helper, picture);
  QObject::connect(button, &QPushButton::clicked, [caption] { Report("clicked " + caption); });
  return button;
}

// The main window's look: picture buttons, the tab strip and the video group tree.
void FillMainWindow(GalleryWindow& window, const CThemeHelperST& helper) {
  QWidget* client = window.ClientArea();
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(6, 6, 6, 6);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  for (const auto& [caption, picture] : {std::pair{"录制视频", "recorder.png"}, std::pair{"参数设置", "Setting.png"},
                                         std::pair{"帮助", "Help.png"}, std::pair{"隐藏视频图像窗口", "ShowOrHideSMW.png"}}) {
    auto* button = PictureButton(QString::fromUtf8(caption), QString::fromUtf8(picture), helper, client);
    button->setFixedSize(30, 28);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);

  auto* tabs = new CTabCtrlEx(client);
  tabs->SetDrawStyle(1);
  tabs->SetFixedTabWidth(62);
  for (const char* text : {"视频文件", "真实摄像头", "图像", "捕获屏幕"}) tabs->addTab(QString::fromUtf8(text));
  QObject::connect(tabs, &QTabBar::currentChanged, [tabs](int index) { Report("tab " + tabs->tabText(index)); });
  layout->addWidget(tabs);

  auto* tree = new CYYTreeCtrl(client);
  tree->setObjectName("videoGroupTree");
  tree->LoadGlyphs();
  using kalimo::skin::kBlankVideoPicture;
  using kalimo::skin::kExpandedGlyph;
  using kalimo::skin::kPlayingVideoPicture;
  auto* group = tree->InsertItemWithPicture("我的视频分组", nullptr, kExpandedGlyph);
  tree->InsertItemWithPicture("开场白.mp4", group, kPlayingVideoPicture, 1);
  tree->InsertItemWithPicture("产品介绍.avi", group, kBlankVideoPicture, 1);
  auto* idle = tree->InsertItemWithPicture("等待画面.mp4", group, kBlankVideoPicture, 1);
  tree->Expand(group, true);
  auto* meeting = tree->InsertItemWithPicture("会议片段", nullptr, kExpandedGlyph);
  tree->InsertItemWithPicture("第一段.mp4", meeting, kBlankVideoPicture, 1);
  tree->InsertItemWithPicture("第二段.mp4", meeting, kBlankVideoPicture, 1);
  tree->SelectItem(meeting);
  tree->SetSeamlessQuery([idle](CYYTreeCtrl::Item item) { return item == idle; });
  const auto selectedText = [tree] {
    return tree->GetSelectedItem() ? CYYTreeCtrl::ItemText(*tree->GetSelectedItem()) : QStringLiteral("(none)");
  };
  QObject::connect(tree, &CYYTreeCtrl::ItemRightClicked, [=] { Report("menu " + selectedText()); });
  QObject::connect(tree, &CYYTreeCtrl::ItemDoubleClicked, [=] { Report("play " + selectedText()); });
  layout->addWidget(tree, 1);

  auto* add = new QHBoxLayout;
  for (const auto& [caption, picture] : {std::pair{"添加", "addMovie.png"}, std::pair{"添加分组", "addgroup.png"}}) {
    auto* button = PictureButton(QString::fromUtf8(caption), QString::fromUtf8(picture), helper, client);
    button->setFixedSize(30, 28);
    add->addWidget(button);
  }
  add->addStretch();
  layout->addLayout(add);
}

// A playing window's control bar with a picture button in each state: normal, hovered (under the
// pointer when the screenshot is taken), pressed and disabled.
void FillPlayingWindow(GalleryWindow& window, const CThemeHelperST& helper) {
  QWidget* client = window.ClientArea();
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(6, 6, 6, 6);
  auto* picture = new QLabel(client);
  picture->setPixmap(QPixmap(kalimo::skin::FindProgramFile("image/capturescreenintro.jpg"))
                         .scaled(320, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture, 1);
  auto* bar = new QHBoxLayout;
  struct Sample {
    const char* caption;
    const char* picture;
    const char* state;
  };
  const Sample samples[] = {{"暂停", "pause.png", "正常"},
                            {"播放", "play.png", "悬停"},
                            {"停止", "Stop.png", "按下"},
                            {"小声", "MinusSound.png", "禁用"},
                            {"静音", "closeSound.png", "正常"},
                            {"大声", "AddSound.png", "禁用"}};
  for (const Sample& sample : samples) {
    auto* column = new QVBoxLayout;
    auto* button = PictureButton(QString::fromUtf8(sample.caption), QString::fromUtf8(sample.picture), helper, client);
    button->setObjectName(QString::fromUtf8(sample.state));
    button->setFixedSize(36, 34);
    if (QString::fromUtf8(sample.state) == "按下") button->setDown(true);
    if (QString::fromUtf8(sample.state) == "禁用") button->setEnabled(false);
    column->addWidget(button, 0, Qt::AlignHCenter);
    auto* label = new QLabel(QString::fromUtf8(sample.state), client);
    label->setAlignment(Qt::AlignHCenter);
    column->addWidget(label);
    bar->addLayout(column);
  }
  layout->addLayout(bar);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("kalimo-skin-gallery");
  const CThemeHelperST themeHelper;

  GalleryWindow playing(QString::fromUtf8("视频窗口"), false, kalimo::skin::kMinimizeBox | kalimo::skin::kMaximizeBox);
  FillPlayingWindow(playing, themeHelper);
  playing.setGeometry(330, 40, 420, 380);
  playing.show();

  GalleryWindow main(QString::fromUtf8("Kalimo"), true, kalimo::skin::kMinimizeBox);
  FillMainWindow(main, themeHelper);
  main.setGeometry(40, 40, 270, 520);
  main.setFixedSize(270, 520);
  main.show();
  main.activateWindow();
  main.raise();
  Report("ready");
  return app.exec();
}
