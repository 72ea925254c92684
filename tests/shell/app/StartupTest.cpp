// Start-up and shutdown of the main program, in this process: each way a start is refused, and a
// whole run that ends with the frame section gone.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <csignal>
#include <memory>

#include "common/ApplyDataToOstrel.h"
#include "platform/RegistryStore.h"
#include "shell/app/Mirandel.h"
#include "shell/app/QtChineseTexts.h"
#include "shell/app/XvidStatus.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSection.h"

using namespace kalimo;

namespace {
const std::string kBuiltUpdater = std::string(KALIMO_TEST_OUTPUT_DIR) + "/libDoveVurarir.so";
const std::string kRefusingUpdater = KALIMO_REFUSING_UPDATER;
const std::string kUpdaterWithoutEntry = KALIMO_UPDATER_WITHOUT_ENTRY;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Logged(const test::LogCapture& log, int level, const std::string& part) {
  for (const auto& record : log.Records()) {
    if (record.level == level && record.source == "Mirandel" && record.message.find(part) != std::string::npos) return true;
  }
  return false;
}
}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  // The standard buttons of message boxes and file dialogs speak Chinese, as the program does.
  void qtsOwnButtonsSpeakChinese() {
    QVERIFY(InstallQtChineseTexts());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Open);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QString("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("取消"));
    QCOMPARE(box.button(QMessageBox::Open)->text(), QString("打开"));
  }

  void refusedStarts_data() {
    QTest::addColumn<QString>("otherInstance");  // what a running instance answers; "" for none
    QTest::addColumn<bool>("xvidStoreDamaged");
    QTest::addColumn<QString>("updater");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("updaterCalls");
    QTest::addColumn<bool>("complainsAboutUpdater");

    const QString refusing = QString::fromStdString(kRefusingUpdater);
    const QString missing = "/nonexistent/libDoveVurarir.so";
    const QString noEntry = QString::fromStdString(kUpdaterWithoutEntry);
    const QString builtIn = QString::fromStdString(kBuiltUpdater);
    const int ended = CMirandelApp::kEnded;
    const int refused = CMirandelApp::kRefused;
    const QString xvidMessage = "Fail to run application,because register xvid is error error code = " +
                                QString::number(EIO);  // the store cannot read a folder
    QTest::newRow("a running instance brought its window to the front")
        << "shown" << false << refusing << ended << "" << "" << false;
    QTest::newRow("a running instance sits hidden in the tray") << "hidden" << false << refusing << ended << "" << ""
                                                                << false;
    QTest::newRow("a running instance without a window yet")
        << "nowindow" << false << refusing << refused << "应用程序已经启动，不能重复启动" << "" << false;
    QTest::newRow("another producer serves the endpoint and answers nothing")
        << "-" << false << refusing << refused << "应用程序已经启动，不能重复启动" << "" << false;
    QTest::newRow("the XviD value cannot be written") << "" << true << builtIn << refused << xvidMessage << ""
                                                      << false;
    QTest::newRow("the updater is missing") << "" << false << missing << refused << "" << "" << true;
    QTest::newRow("the updater lacks UpdateSoftware") << "" << false << noEntry << refused << "" << "release\n"
                                                      << true;
    QTest::newRow("the updater takes over") << "" << false << refusing << ended << ""
                                            << "update K4-TROVELLA-LINUX trovella Kalimo.exe\nrelease\n" << false;
  }

  void refusedStarts() {
    QFETCH(QString, otherInstance);
    QFETCH(bool, xvidStoreDamaged);
    QFETCH(QString, updater);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, updaterCalls);
    QFETCH(bool, complainsAboutUpdater);

    test::ShellFolders folders;
    const auto record = folders.Dir() / "updater-calls.txt";
    setenv("KALIMO_TEST_UPDATER_RECORD", record.c_str(), 1);
    std::vector<std::string> requests;
    platform::SingleInstanceServer other;
    int error = 0;
    const std::string answer = otherInstance == "-" ? "" : otherInstance.toStdString();
    if (!otherInstance.isEmpty()) {
      QVERIFY(other.StartAnswering(
          [&](const std::string& request) {
            requests.push_back(request);
            return answer;
          },
          error));
    }
    const auto volatileStore = std::filesystem::path(
        platform::RegistryStore::FilePath(platform::RegistryLifetime::kVolatile));
    if (xvidStoreDamaged) {  // a folder where the store file belongs: nothing can be written there
      std::filesystem::create_directories(volatileStore);
    }

    test::MessageRecorder messages;
    test::LogCapture log;
    test::StderrCapture stderrText;
    CMirandelApp app(updater.toStdString());
    QCOMPARE(app.Run(), status);
    const std::string printed = stderrText.Text();
    other.Stop();

    QCOMPARE(QApplication::topLevelWidgets().size(), 0);  // no window of the program ever existed
    if (message.isEmpty()) {
      QCOMPARE(messages.messages.size(), std::size_t{0});
    } else {
      QCOMPARE(messages.messages.size(), std::size_t{1});
      QCOMPARE(QString::fromStdString(messages.messages[0].text), message);
      QCOMPARE(messages.messages[0].caption, std::string("Corvessa"));
      QVERIFY(messages.messages[0].icon == UserMessage::Icon::Warning);
    }
    if (!otherInstance.isEmpty()) QCOMPARE(requests, std::vector<std::string>{"activate"});
    // The XviD value is written after the instance check and before the updater runs.
    int readError = 0;
    const auto xvid = platform::RegistryStore::ReadDword(platform::RegistryRoot::kCurrentUser, kXvidKey,
                                                          kXvidDisplayStatusValue, readError,
                                                          platform::RegistryLifetime::kVolatile);
    QCOMPARE(xvid.has_value(), otherInstance.isEmpty() && !xvidStoreDamaged);
    QCOMPARE(QString::fromStdString(ReadFile(record)), updaterCalls);

    const std::string file = updater.toStdString();
    QCOMPARE(Logged(log, 40000, file), complainsAboutUpdater);
    QCOMPARE(printed.find("kalimo: the updater component " + file) != std::string::npos, complainsAboutUpdater);
    if (complainsAboutUpdater) QCOMPARE(std::count(printed.begin(), printed.end(), '\n'), 1);
    QVERIFY(!Logged(log, 20000, "begin to trovella"));
    unsetenv("KALIMO_TEST_UPDATER_RECORD");
  }

  // A whole run: the main window comes, answers a second start, and when it closes the program
  // releases everything, the frame section last but one.
  void aWholeRunEndsWithTheFrameSectionRemoved() {
    test::ShellFolders folders;
    test::TestSection section;
    const std::vector<unsigned char> pixels(DibStride(4) * 4, 0x80);
    test::MessageRecorder messages;
    test::LogCapture log;

    std::optional<std::string> whileShown;
    std::optional<std::string> whileHidden;
    bool sectionWhileRunning = false;
    QTimer::singleShot(0, [&] {
      // What the first source would do: write a frame.
      sectionWhileRunning = WriteFrameToSection(pixels.data(), ProcessFrameSectionHandle(),
                                                static_cast<std::int32_t>(pixels.size()), 4, 4) &&
                            section.Exists();
    });
    auto closeMainWindow = std::make_shared<std::function<void()>>();
    *closeMainWindow = [&, closeMainWindow] {
      QDialog* window = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == "Kalimo" && widget->isVisible()) window = qobject_cast<QDialog*>(widget);
      }
      if (!window || !window->isVisible()) return QTimer::singleShot(20, *closeMainWindow);
      whileShown = platform::AskSingleInstance("activate");
      window->hide();
      whileHidden = platform::AskSingleInstance("activate");
      window->reject();
    };
    QTimer::singleShot(0, *closeMainWindow);

    int status = -1;
    {
      CMirandelApp app(kBuiltUpdater);
      status = app.Run();
    }
    QCOMPARE(status, CMirandelApp::kEnded);

    QVERIFY(sectionWhileRunning);
    QVERIFY(!section.Exists());
    QCOMPARE(whileShown, std::optional<std::string>("shown"));
    QCOMPARE(whileHidden, std::optional<std::string>("hidden"));
    QVERIFY(!platform::ProbeSingleInstance());  // the endpoint went with the application object
    QVERIFY(Logged(log, 20000, "begin to trovella"));
    QCOMPARE(messages.messages.size(), std::size_t{0});
    int error = 0;
    QCOMPARE(platform::RegistryStore::ReadDword(platform::RegistryRoot::kCurrentUser, kXvidKey,
                                                kXvidDisplayStatusValue, error, platform::RegistryLifetime::kVolatile),
             std::optional<std::uint32_t>(0));
    // The storage folders were made for the settings' root.
    QVERIFY(std::filesystem::is_directory(folders.Storage() / "Kalimo" / "照片"));
  }

  // SIGTERM while a modal dialog runs: the settings dialog (owned by the main window) kept the
  // program from ending, the group dialog (owned by the video panel, which the end deletes) made it
  // crash. The dialogs end first, without their questions; then the program, section removed.
  void aStopSignalEndsOpenDialogsFirst_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("dialogTitle");
    QTest::newRow("settings") << "参数设置" << "Setting";
    QTest::newRow("group name, owned by the video panel") << "添加分组" << "组编辑对话框";
  }
  void aStopSignalEndsOpenDialogsFirst() {
    QFETCH(QString, button);
    QFETCH(QString, dialogTitle);
    test::ShellFolders folders;
    test::TestSection section;
    test::MessageRecorder messages;
    const std::vector<unsigned char> pixels(DibStride(4) * 4, 0x80);
    bool dialogShown = false;
    auto openDialog = std::make_shared<std::function<void()>>();
    *openDialog = [&, openDialog] {
      QAbstractButton* found = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() != "Kalimo" || !widget->isVisible()) continue;
        for (QAbstractButton* candidate : widget->findChildren<QAbstractButton*>()) {
          if (candidate->accessibleName() == button || candidate->text() == button) found = candidate;
        }
      }
      if (!found) return QTimer::singleShot(20, *openDialog);
      WriteFrameToSection(pixels.data(), ProcessFrameSectionHandle(), static_cast<std::int32_t>(pixels.size()), 4, 4);
      QTimer::singleShot(0, found, &QAbstractButton::click);  // the dialog's own loop runs in the click
    };
    QTimer::singleShot(0, *openDialog);
    auto stopWhenShown = std::make_shared<std::function<void()>>();
    *stopWhenShown = [&, stopWhenShown] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal->windowTitle() != dialogTitle) return QTimer::singleShot(20, *stopWhenShown);
      dialogShown = true;
      ::raise(SIGTERM);
    };
    QTimer::singleShot(0, *stopWhenShown);

    int status = -1;
    {
      CMirandelApp app(kBuiltUpdater);
      status = app.Run();
    }
    QVERIFY(dialogShown);
    QCOMPARE(status, CMirandelApp::kEnded);
    QVERIFY(!section.Exists());
    QCOMPARE(messages.messages.size(), std::size_t{0});
  }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
