#pragma once
// The help dialog: links to the online help, and the about box.
#include <QDialog>

namespace kalimo {

struct HelpLink {
  const char* text;
  const char* path;
  const char* fragment;
};

// The links, in the order they are shown.
inline constexpr HelpLink kHelpLinks[] = {
    {"1.怎样在腾讯QQ中使用Kalimo", "/help/ostrel.html", "#howuseinqq"},
    {"2.怎样解决在QQ 上显示Kalimo为影音文件", "/help/ostrel.html", "#howforuseinqq"},
    {"3.怎样无缝切换到图像", "/help/ostrel.html", "#howforhasimage"},
    {"4.怎样添加影像文件", "/help/ostrel.html", "#howaddmovie"},
    {"5.怎样删除影音文件", "/help/ostrel.html", "#howdeletemovie"},
    {"6:怎样无缝切换到真实摄像头", "/help/ostrel.html", "#howrecording"},
    {"更多帮助", "/help/ostrel.html", ""},
};

class CHelpDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CHelpDlg(QWidget* parent = nullptr);
};

// Opens the help dialog modally.
void OpenHelpDialog(QWidget* parent);

}  // namespace kalimo
