#include "shell/sidewindows/CNoticeBoardDlg.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "common/Logging.h"
#include "library/settings/VendorSite.h"

namespace kalimo {

CNoticeBoardDlg::CNoticeBoardDlg(QWidget* parent) : QWidget(parent) {
  page_ = new QTextBrowser;
  page_->setOpenExternalLinks(true);
  page_->setAccessibleName("公告");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->addWidget(page_);
  network_ = new QNetworkAccessManager(this);
  // Requested from the event loop, once the strip is in place, like the page of a new window.
  QMetaObject::invokeMethod(this, &CNoticeBoardDlg::LoadNoticePage, Qt::QueuedConnection);
}

void CNoticeBoardDlg::LoadNoticePage() {
  QNetworkRequest request(QUrl(QString::fromStdString(NoticePageAddress(MillisecondTick()))));
  request.setTransferTimeout(kTransferTimeoutMs);
  QNetworkReply* reply = network_->get(request);
  connect(reply, &QNetworkReply::finished, this, [this, reply] { ShowPage(reply); });
}

void CNoticeBoardDlg::ShowPage(QNetworkReply* reply) {
  reply->deleteLater();
  // An unreachable page, or an error page instead of the notices, leaves the strip empty.
  const bool shown = reply->error() == QNetworkReply::NoError;
  if (shown) {
    const QByteArray body = reply->readAll();
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);  // the page's own charset, else UTF-8
    page_->setHtml(decoder.isValid() ? QString(decoder(body)) : QString::fromUtf8(body));
  } else {
    KALIMO_LOG_DEBUG("notice page %s: %s", reply->url().toString().toUtf8().constData(),
                     reply->errorString().toUtf8().constData());
    page_->clear();
  }
  emit PageFinished(shown);
}

}  // namespace kalimo
