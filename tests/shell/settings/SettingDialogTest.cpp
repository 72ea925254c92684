// The settings dialog on real files: the camera's device entry made by the real registration, the
// real config.ini, and GStreamer's own device monitor reading the new name.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "library/settings/SettingParams.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryStore.h"
#include "shell/settings/CSettingDlg.h"
#include "tests/shell/AccessibleNames.h"
#include "tests/shell/ShellTestSupport.h"

using namespace kalimo;

namespace {
constexpr auto kRoot = platform::RegistryRoot::kClassesRoot;

// Runs a built program or a GStreamer tool with this process's environment, without the test's
// plugin path, so that GStreamer finds the camera only where the registration put it.
QString Run(const QString& program, const QStringList& arguments = {}) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("GST_PLUGIN_PATH");
  environment.remove("KALIMO_PROGRAM_DIR");  // the registration links the plugin it was built beside
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(120000)) return "did not finish";
  return QString::fromUtf8(process.readAll()) + (process.exitCode() == 0 ? "" : "\n(failed)");
}

QString Register() { return Run(QString(KALIMO_TEST_OUTPUT_DIR) + "/ostrel-register"); }

std::optional<std::string> StoredName() {
  int error = 0;
  return platform::RegistryStore::ReadString(kRoot, platform::kCameraInstanceKey, platform::kFriendlyNameValue, error);
}

std::optional<std::uint32_t> StoredChoice(const char* name) {
  int error = 0;
  return platform::RegistryStore::ReadDword(kRoot, platform::kCameraInstanceKey, name, error);
}

// The dialog as the user gets it: shown, laid out.
class ShownDialog : public CSettingDlg {
 public:
  ShownDialog() {
    show();
    QVERIFY(QTest::qWaitForWindowExposed(this));
  }
};

template <typename Widget>
Widget* Find(QWidget* window, const QString& accessibleName) {
  for (Widget* widget : window->findChildren<Widget*>()) {
    if (test::AccessibleName(widget) == accessibleName) return widget;
  }
  return nullptr;
}

QLineEdit* Edit(QWidget* window, const QString& name) { return Find<QLineEdit>(window, name); }
void Press(QWidget* window, const QString& caption) {
  auto* button = Find<QAbstractButton>(window, caption);
  QVERIFY2(button, qPrintable(caption));
  QTest::mouseClick(button, Qt::LeftButton);
}

// Sets a line edit's whole text the way typing would.
void Type(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}
}  // namespace

class SettingDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { DestroySettingParams(); }

  void renamesTheCameraForEveryApplication() {
    test::ShellFolders folders;
    setenv("GST_REGISTRY", (folders.Dir() / "registry.bin").c_str(), 1);
    const QString registered = Register();
    QVERIFY2(!registered.contains("(failed)"), qPrintable(registered));

    {
      ShownDialog dialog;
      QCOMPARE(Edit(&dialog, "虚拟摄像头名称：")->text(), QString("Kalimo摄像头"));
      Type(Edit(&dialog, "虚拟摄像头名称："), "My Cam");
      Press(&dialog, "确定");
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(StoredName(), std::optional<std::string>("My Cam"));
    const QString devices = Run("gst-device-monitor-1.0", {"Video/Source"});
    QVERIFY2(devices.contains("My Cam"), qPrintable(devices));

    // The dialog shows the entry's name; 120 characters are kept as 99.
    const QString longName = QString("长").repeated(60) + QString("n").repeated(60);
    {
      ShownDialog dialog;
      QCOMPARE(Edit(&dialog, "虚拟摄像头名称：")->text(), QString("My Cam"));
      Edit(&dialog, "虚拟摄像头名称：")->setText(longName);
      Press(&dialog, "确定");
    }
    QCOMPARE(QString::fromStdString(StoredName().value_or("")), longName.left(99));

    // Back to the configured name: compared with that name, not with the entry, so nothing is
    // written and the entry keeps the last name.
    {
      ShownDialog dialog;
      Edit(&dialog, "虚拟摄像头名称：")->setText("Kalimo摄像头");
      Press(&dialog, "确定");
    }
    QCOMPARE(QString::fromStdString(StoredName().value_or("")), longName.left(99));
    unsetenv("GST_REGISTRY");
  }

  void withoutADeviceEntryShowsTheConfiguredNameAndWritesNothing() {
    test::ShellFolders folders;
    ShownDialog dialog;
    QCOMPARE(Edit(&dialog, "虚拟摄像头名称：")->text(), QString("Kalimo摄像头"));
    QVERIFY(!Find<QCheckBox>(&dialog, "低延迟：应用程序立即收到最新的画面")->isEnabled());
    Type(Edit(&dialog, "虚拟摄像头名称："), "My Cam");
    Press(&dialog, "确定");
    int error = 0;
    QVERIFY(!platform::RegistryStore::KeyExists(kRoot, platform::kCameraInstanceKey, error));
  }

  void theChoicesGoToTheDeviceEntry() {
    test::ShellFolders folders;
    int error = 0;
    QVERIFY(platform::RegistryStore::CreateKey(kRoot, platform::kCameraInstanceKey, error));
    QVERIFY(platform::RegistryStore::WriteDword(kRoot, platform::kCameraInstanceKey, "KeepAspect", 1, error));
    {
      ShownDialog dialog;
      auto* lowLatency = Find<QCheckBox>(&dialog, "低延迟：应用程序立即收到最新的画面");
      auto* keepAspect = Find<QCheckBox>(&dialog, "保持画面比例（不拉伸）");
      QVERIFY(lowLatency && keepAspect);
      QVERIFY(!lowLatency->isChecked());
      QVERIFY(keepAspect->isChecked());
      QTest::mouseClick(lowLatency, Qt::LeftButton);
      Press(&dialog, "确定");
    }
    QCOMPARE(StoredChoice(platform::kLowLatencyValue), std::optional<std::uint32_t>(1));
    QCOMPARE(StoredChoice("KeepAspect"), std::optional<std::uint32_t>(1));
    {
      ShownDialog dialog;
      QTest::mouseClick(Find<QCheckBox>(&dialog, "保持画面比例（不拉伸）"), Qt::LeftButton);
      QTest::mouseClick(Find<QCheckBox>(&dialog, "低延迟：应用程序立即收到最新的画面"), Qt::LeftButton);
      Press(&dialog, "取消");  // nothing is saved
    }
    QCOMPARE(StoredChoice(platform::kLowLatencyValue), std::optional<std::uint32_t>(1));
    QCOMPARE(StoredChoice("KeepAspect"), std::optional<std::uint32_t>(1));
  }

  void theStorageRootIsBrowsedShownAndSaved() {
    test::ShellFolders folders;
    const QString storage = QString::fromStdString(folders.Storage().string());
    const QString chosen = QString::fromStdString((folders.Dir() / "Video").string());
    std::filesystem::create_directories(folders.Dir() / "Video");
    ShownDialog dialog;
    QCOMPARE(Edit(&dialog, "存储位置：")->text(), storage);
    QCOMPARE(Edit(&dialog, "录像的存储位置：")->text(), storage + "/Kalimo/录像");
    QCOMPARE(Edit(&dialog, "照片的存储位置：")->text(), storage + "/Kalimo/照片");
    QVERIFY(Edit(&dialog, "录像的存储位置：")->isReadOnly());

    // "游览" opens the folder chooser; the chosen folder is shown with the folders it gives.
    QString chooserTitle;
    QTimer::singleShot(0, [&] {
      std::function<void()> answer = [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser) return QTimer::singleShot(20, answer);
        chooserTitle = chooser->windowTitle();
        chooser->setDirectory(chosen);
        chooser->selectFile(chosen);
        QMetaObject::invokeMethod(chooser, "accept");
      };
      answer();
    });
    Press(&dialog, "游览");
    QCOMPARE(chooserTitle, QString("所选择路径:   "));
    QCOMPARE(Edit(&dialog, "存储位置：")->text(), chosen);
    QCOMPARE(Edit(&dialog, "录像的存储位置：")->text(), chosen + "/Kalimo/录像");

    // A typed root with a trailing "/" is saved without it, in config.ini and in the current settings.
    Type(Edit(&dialog, "存储位置："), chosen + "/Kalimo/");
    Press(&dialog, "确定");
    QCOMPARE(QString::fromStdString(GetCurrentSettings().resourcesPath), chosen + "/Kalimo");
    QCOMPARE(QString::fromStdString(GetCurrentSettings().storageFolder), chosen + "/Kalimo");
    const std::string config = (folders.Program() / "config.ini").string();
    QCOMPARE(QString::fromStdString(platform::ReadProfileString(config, "usingsetting", "resourcespath", "")),
             chosen + "/Kalimo");
  }

  void everyControlIsNamedByItsCaption() {
    test::ShellFolders folders;
    ShownDialog dialog;
    const QStringList names = test::ControlNames(&dialog);
    for (const QString& name : names) QVERIFY2(!name.startsWith("<unnamed"), qPrintable(names.join(", ")));
    for (const char* caption : {"Kalimo设置：", "虚拟摄像头名称：", "存放路径:", "存储位置：", "游览", "录像的存储位置：",
                                "照片的存储位置：", "确定", "取消"}) {
      QVERIFY2(names.contains(caption), caption);
    }
    QCOMPARE(dialog.windowTitle(), QString("Setting"));
  }
};

QTEST_MAIN(SettingDialogTest)
#include "SettingDialogTest.moc"
