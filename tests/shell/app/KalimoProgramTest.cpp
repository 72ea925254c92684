// The built program kalimo as a user starts it: twice, without its updater, stopped by a signal, and
// on a machine without a sound device.
#include <signal.h>

#include <QProcess>
#include <QtTest>

#include "platform/SingleInstance.h"
#include "tests/shell/ShellTestSupport.h"

using namespace kalimo;

namespace {
const QString kBuiltProgram = QString(KALIMO_TEST_OUTPUT_DIR) + "/kalimo";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `program` on the offscreen platform in `workingFolder`, where the log configuration lies.
void Start(QProcess& process, const QString& program, const std::filesystem::path& workingFolder) {
  std::filesystem::copy_file(std::string(KALIMO_TEST_OUTPUT_DIR) + "/log4trovella.properties",
                             workingFolder / "log4trovella.properties",
                             std::filesystem::copy_options::skip_existing);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  // No sound device, whatever the machine has: an empty ALSA configuration knows none.
  const auto noSoundDevices = workingFolder / "alsa-none.conf";
  std::ofstream{noSoundDevices};
  environment.insert("ALSA_CONFIG_PATH", QString::fromStdString(noSoundDevices.string()));
  process.setProcessEnvironment(environment);
  process.setWorkingDirectory(QString::fromStdString(workingFolder.string()));
  process.start(program, {});
}

// Whether the machine has a sound card for ALSA (the programs then know of a sound output).
bool SoundCard() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
    if (entry.path().filename().string().rfind("pcmC", 0) == 0) return true;
  }
  return false;
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}
}  // namespace

class KalimoProgramTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondStartBringsTheFirstForwardAndEnds() {
    test::ShellFolders folders;
    // The shipped sample (with sound), which the first start plays.
    std::filesystem::create_directory_symlink(KALIMO_TEST_OUTPUT_DIR "/video", folders.Program() / "video");
    QProcess first;
    Start(first, kBuiltProgram, folders.Dir());
    QVERIFY(first.waitForStarted());
    // Up once its main window answers.
    QTRY_COMPARE_WITH_TIMEOUT(platform::AskSingleInstance("state"), std::optional<std::string>("shown"), 30000);
    const auto logFile = folders.Program() / "kalimo.log";
    if (!SoundCard()) {
      QTRY_VERIFY_WITH_TIMEOUT(Count(ReadFile(logFile), "videos play without sound") == 1, 30000);
    }

    const auto broughtForward = [&] { return Count(ReadFile(logFile), "brought to the front"); };
    QCOMPARE(broughtForward(), 0);

    QProcess second;
    Start(second, kBuiltProgram, folders.Dir());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    QTRY_COMPARE(broughtForward(), 1);

    // A stop signal ends the first in order: the endpoint goes, the log is complete.
    kill(static_cast<pid_t>(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(!platform::ProbeSingleInstance());
    const std::string log = ReadFile(logFile);
    QCOMPARE(Count(log, "begin to trovella"), 1);  // the second start ended before its logging
    // The sample (it has sound) played without a sound device: no sound library wrote on the
    // terminal, and the log says once why there is no sound.
    const std::string printed = first.readAllStandardError().toStdString();
    QVERIFY2(printed.find("ALSA") == std::string::npos && printed.find("AL lib") == std::string::npos, printed.c_str());
    if (!SoundCard()) QCOMPARE(Count(log, "videos play without sound"), 1);
    QVERIFY2(log.find("INFO  [") != std::string::npos && log.find("Mirandel:") != std::string::npos, log.c_str());
  }

  void withoutItsUpdaterItEndsAndSaysWhy() {
    test::ShellFolders folders;
    // A copy of the program in a folder without the updater beside it.
    const auto program = folders.Dir() / "alone" / "kalimo";
    std::filesystem::create_directories(program.parent_path());
    std::filesystem::copy_file(kBuiltProgram.toStdString(), program);
    QProcess process;
    Start(process, QString::fromStdString(program.string()), folders.Dir());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    const std::string printed = process.readAllStandardError().toStdString();
    QCOMPARE(Count(printed, "libDoveVurarir.so ("), 1);
    QVERIFY2(printed.find("kalimo: the updater component libDoveVurarir.so (looked for in " +
                          program.parent_path().string()) != std::string::npos,
             printed.c_str());
    const std::string log = ReadFile(folders.Program() / "kalimo.log");
    QCOMPARE(Count(log, "ERROR"), 1);
    QVERIFY2(log.find("Mirandel") != std::string::npos && log.find("libDoveVurarir.so") != std::string::npos,
             log.c_str());
    QVERIFY(log.find("begin to trovella") == std::string::npos);
    QVERIFY(!platform::ProbeSingleInstance());
  }
};

QTEST_MAIN(KalimoProgramTest)
#include "KalimoProgramTest.moc"
