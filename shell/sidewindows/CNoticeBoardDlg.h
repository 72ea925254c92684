#pragma once
// The notice board: a strip that shows the vendor's notice page. The page is requested once, when
// the strip is made, and shown as rich text; links in it open in the user's web browser.
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;

namespace kalimo {

class CNoticeBoardDlg : public QWidget {
  Q_OBJECT

 public:
  // The page view's distance from the strip's edges, kept whatever the strip's size.
  static constexpr int kMargin = 2;
  // A page that has not come after this long is given up (the strip stays empty).
  static constexpr int kTransferTimeoutMs = 15000;

  explicit CNoticeBoardDlg(QWidget* parent = nullptr);

  QTextBrowser* PageView() const { return page_; }

 signals:
  // The request has ended: shown tells whether the page is now on the strip.
  void PageFinished(bool shown);

 private:
  void LoadNoticePage();
  void ShowPage(QNetworkReply* reply);

  QTextBrowser* page_ = nullptr;
  QNetworkAccessManager* network_ = nullptr;
};

}  // namespace kalimo
