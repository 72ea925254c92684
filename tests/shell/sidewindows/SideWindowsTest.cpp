// The help dialog, the about box and the notice board, against a vendor site that the test serves
// itself on 127.0.0.1.
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QTimer>
#include <QUrlQuery>
#include <QScopeGuard>
#include <QtTest>

#include "library/settings/SettingParams.h"
#include "library/settings/VendorSite.h"
#include "shell/sidewindows/CAboutDlg.h"
#include "shell/sidewindows/CHelpDlg.h"
#include "shell/sidewindows/CNoticeBoardDlg.h"
#include "shell/sidewindows/LinkButton.h"
#include "tests/shell/AccessibleNames.h"
#include "tests/shell/ShellTestSupport.h"

using namespace kalimo;

namespace {
// Receives the addresses that would open in the user's web browser.
class BrowserStandIn : public QObject {
  Q_OBJECT

 public:
  BrowserStandIn() {
    QDesktopServices::setUrlHandler("http", this, "open");
    QDesktopServices::setUrlHandler("https", this, "open");
  }
  ~BrowserStandIn() override {
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("https");
  }
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened << url; }
};

// A web server that answers every request with one page and remembers each request's target and
// the tick at which it arrived.
class PageServer : public QObject {
 public:
  explicit PageServer(QByteArray page) : page_(std::move(page)) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
      }
    });
  }
  quint16 Port() const { return server_.serverPort(); }
  struct Request {
    QString target;
    std::uint32_t tick;
  };
  QList<Request> requests;

 private:
  void Answer(QTcpSocket* socket) {
    const QByteArray head = socket->readAll();
    if (!head.contains("\r\n\r\n")) return;
    requests << Request{QString::fromLatin1(head.split(' ').value(1)), MillisecondTick()};
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(page_.size()) + "\r\n\r\n" + page_);
    socket->disconnectFromHost();
  }
  QTcpServer server_;
  QByteArray page_;
};

std::string SiteConfig(const QString& site) { return "[oem]\ncompanywebsite=" + site.toStdString() + "\n"; }

// The lines of a text file; none while it does not exist.
QStringList ReadLinesOf(const std::filesystem::path& file) {
  QFile text(QString::fromStdString(file.string()));
  if (!text.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(text.readAll()).split('\n', Qt::SkipEmptyParts);
}

std::uint32_t Skq(const QString& target) { return QUrlQuery(QUrl(target)).queryItemValue("skq").toUInt(); }

// Calls `step` with the modal dialog that opens next, once it is up.
void WithNextModal(std::function<void(QWidget*)> step, QWidget* under = nullptr) {
  QTimer::singleShot(0, [step, under] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == under) return WithNextModal(step, under);
    step(modal);
  });
}
}  // namespace

class SideWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  // The test's own server is asked directly, whatever proxy the machine sets.
  void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
  void cleanup() { DestroySettingParams(); }

  void helpLinksOpenTheVendorsPagesInTheBrowser() {
    test::ShellFolders folders(SiteConfig("https://vendor.example/"));
    BrowserStandIn browser;
    CHelpDlg help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(help.windowTitle(), QString("帮助"));
    const auto links = help.findChildren<LinkButton*>();
    QCOMPARE(links.size(), qsizetype(std::size(kHelpLinks)));
    for (LinkButton* link : links) QTest::mouseClick(link, Qt::LeftButton);
    const QStringList expected = {
        "https://vendor.example/help/ostrel.html#howuseinqq",   "https://vendor.example/help/ostrel.html#howforuseinqq",
        "https://vendor.example/help/ostrel.html#howforhasimage", "https://vendor.example/help/ostrel.html#howaddmovie",
        "https://vendor.example/help/ostrel.html#howdeletemovie", "https://vendor.example/help/ostrel.html#howrecording",
        "https://vendor.example/help/ostrel.html"};
    QStringList opened;
    for (const QUrl& url : browser.opened) opened << url.toString();
    QCOMPARE(opened, expected);
    QCOMPARE(test::AccessibleName(links[0]), QString("1.怎样在腾讯QQ中使用Kalimo"));

    // "关于" opens the about box on top; its link is the site itself.
    QString aboutTitle;
    QStringList aboutNames;
    WithNextModal(
        [&](QWidget* about) {
          aboutTitle = about->windowTitle();
          aboutNames = test::ControlNames(about);
          for (QLabel* label : about->findChildren<QLabel*>()) aboutNames << test::AccessibleName(label);
          QTest::mouseClick(about->findChild<LinkButton*>(), Qt::LeftButton);
          for (QPushButton* button : about->findChildren<QPushButton*>()) {
            if (button->text() == "确定") QTest::mouseClick(button, Qt::LeftButton);
          }
        },
        &help);
    for (QPushButton* button : help.findChildren<QPushButton*>()) {
      if (button->text() == "关于") QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(aboutTitle, QString("关于"));
    QVERIFY2(aboutNames.contains("Kalimo4.0版") && aboutNames.contains("确定") &&
                 aboutNames.contains("https://vendor.example"),
             qPrintable(aboutNames.join(", ")));
    QCOMPARE(browser.opened.last(), QUrl("https://vendor.example"));

    const QStringList helpNames = test::ControlNames(&help);
    for (const QString& name : helpNames) QVERIFY2(!name.startsWith("<unnamed"), qPrintable(helpNames.join(", ")));
    QVERIFY(helpNames.contains("帮助列表：") && helpNames.contains("关于") && helpNames.contains("确定"));
  }

  // Without a site every link opens the guide beside the program, at a chapter the page has; the
  // desktop is asked through xdg-open, here a stand-in that writes down what it was given.
  void withoutASiteTheLinksOpenTheGuideBesideTheProgram() {
    test::ShellFolders folders;
    std::filesystem::create_directory_symlink(KALIMO_TEST_OUTPUT_DIR "/guide", folders.Program() / "guide");
    const std::filesystem::path opened = folders.Dir() / "opened.txt";
    const std::filesystem::path tools = folders.Dir() / "tools";
    std::filesystem::create_directories(tools);
    std::ofstream(tools / "xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened.string() << "'\n";
    std::filesystem::permissions(tools / "xdg-open", std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray(tools.c_str()) + ":" + path);
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });

    CHelpDlg help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    const auto links = help.findChildren<LinkButton*>();
    QCOMPARE(links.size(), qsizetype(std::size(kHelpLinks)));
    for (LinkButton* link : links) QTest::mouseClick(link, Qt::LeftButton);
    WithNextModal(
        [&](QWidget* about) {
          LinkButton* link = about->findChild<LinkButton*>();
          QCOMPARE(test::AccessibleName(link), QString("Kalimo使用说明"));
          QTest::mouseClick(link, Qt::LeftButton);
          for (QPushButton* button : about->findChildren<QPushButton*>()) {
            if (button->text() == "确定") QTest::mouseClick(button, Qt::LeftButton);
          }
        },
        &help);
    for (QPushButton* button : help.findChildren<QPushButton*>()) {
      if (button->text() == "关于") QTest::mouseClick(button, Qt::LeftButton);
    }

    const qsizetype expected = qsizetype(std::size(kHelpLinks)) + 1;
    QStringList urls;
    QTRY_VERIFY_WITH_TIMEOUT((urls = ReadLinesOf(opened)).size() == expected, 20000);
    QFile page(QString::fromStdString((folders.Program() / "guide" / "user-guide.html").string()));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    for (qsizetype i = 0; i < expected; ++i) {
      const QUrl url(urls[i]);
      QVERIFY2(url.isLocalFile() && QFileInfo(url.toLocalFile()) == QFileInfo(page), qPrintable(urls[i]));
      const QString fragment = i < qsizetype(std::size(kHelpLinks)) ? QString(kHelpLinks[i].fragment).mid(1) : "";
      QCOMPARE(url.fragment(), fragment);
      if (!fragment.isEmpty()) QVERIFY2(html.contains(QString("id=\"%1\"").arg(fragment)), qPrintable(fragment));
    }
    QVERIFY(!VendorSiteConfigured());
  }

  void theNoticeBoardAsksForItsPageOnceWithTheTick() {
    PageServer server("<html><body><p>新版本已经发布</p></body></html>");
    test::ShellFolders folders(SiteConfig(QString("http://127.0.0.1:%1").arg(server.Port())));

    const std::uint32_t before = MillisecondTick();
    CNoticeBoardDlg first;
    QSignalSpy firstDone(&first, &CNoticeBoardDlg::PageFinished);
    QTRY_COMPARE_WITH_TIMEOUT(firstDone.size(), 1, 20000);
    QCOMPARE(firstDone[0][0].toBool(), true);
    QVERIFY(first.PageView()->toPlainText().contains("新版本已经发布"));

    QTest::qWait(1500);
    CNoticeBoardDlg second;
    QSignalSpy secondDone(&second, &CNoticeBoardDlg::PageFinished);
    QTRY_COMPARE_WITH_TIMEOUT(secondDone.size(), 1, 20000);

    QCOMPARE(server.requests.size(), qsizetype(2));  // once per board
    for (const auto& request : server.requests) QVERIFY2(request.target.startsWith("/ads/softads/notice.html?skq="), qPrintable(request.target));
    const std::uint32_t firstSkq = Skq(server.requests[0].target);
    const std::uint32_t secondSkq = Skq(server.requests[1].target);
    // Each tick was read between the board's making and the request's arrival: the two differ by
    // the 1500 ms waited plus the little time the second request took to arrive.
    QVERIFY(firstSkq >= before && firstSkq <= server.requests[0].tick);
    QVERIFY(secondSkq <= server.requests[1].tick);
    QVERIFY2(secondSkq - firstSkq >= 1500, qPrintable(QString::number(secondSkq - firstSkq)));
    qInfo("skq %u and %u: %u ms apart", firstSkq, secondSkq, secondSkq - firstSkq);
  }

  void anUnreachablePageLeavesTheStripEmpty() {
    quint16 closedPort = 0;
    {
      QTcpServer probe;
      QVERIFY(probe.listen(QHostAddress::LocalHost));
      closedPort = probe.serverPort();
    }
    test::ShellFolders folders(SiteConfig(QString("http://127.0.0.1:%1").arg(closedPort)));
    CNoticeBoardDlg board;
    QSignalSpy done(&board, &CNoticeBoardDlg::PageFinished);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
    QCOMPARE(done[0][0].toBool(), false);
    QVERIFY(board.PageView()->toPlainText().isEmpty());
  }

  void theStripKeepsItsMarginsWhenResized() {
    test::ShellFolders folders(SiteConfig("http://127.0.0.1:9"));
    QWidget window;
    auto* board = new CNoticeBoardDlg(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const QSize size : {QSize(420, 60), QSize(300, 120), QSize(640, 90)}) {
      board->resize(size);
      QApplication::processEvents();
      const int m = CNoticeBoardDlg::kMargin;
      QTRY_COMPARE(board->PageView()->geometry(), QRect(m, m, size.width() - 2 * m, size.height() - 2 * m));
    }
  }
};

QTEST_MAIN(SideWindowsTest)
#include "SideWindowsTest.moc"
