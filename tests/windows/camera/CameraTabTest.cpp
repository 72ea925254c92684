// The camera tab on the offscreen platform with the test cameras of the fake camera plugin (a 4:3
// and a 16:9 camera and our own virtual camera): the list, opening and switching, photos,
// recordings with their question, closing and switching away while recording, cameras plugged in
// and out while the panel is open, and a camera unplugged while open.
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "common/ApplyDataToOstrel.h"
#include "common/Messages.h"
#include "library/ListFile.h"
#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"
#include "tests/support/TestSection.h"
#include "windows/base/CPictureControl.h"
#include "windows/camera/CCameraResourceListDlg.h"
#include "windows/camera/CPlayCameraControlDlg.h"
#include "windows/camera/CWindowPlayingCamera.h"

namespace {

constexpr const char* kVirtualCameraName = "Kalimo摄像头";

const bool kGStreamerSetUp = [] {
  setenv("GST_REGISTRY", KALIMO_TEST_GST_REGISTRY, 1);
  setenv("GST_PLUGIN_PATH", KALIMO_TEST_PLUGIN_DIR, 1);
  return true;
}();

// Answers questions as the test says and records every message.
class Answers {
 public:
  explicit Answers(kalimo::MessageAnswer answer) : answer_(answer) {
    previous_ = kalimo::SetMessagePresenter([this](const kalimo::UserMessage& message) {
      shown.push_back(message.text);
      captions.push_back(message.caption);
      return answer_;
    });
  }
  ~Answers() { kalimo::SetMessagePresenter(previous_); }
  void Set(kalimo::MessageAnswer answer) { answer_ = answer; }
  std::vector<std::string> shown;
  std::vector<std::string> captions;

 private:
  kalimo::MessageAnswer answer_;
  kalimo::MessagePresenter previous_;
};

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder, const std::string& extension) {
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().extension() == extension) files.push_back(entry.path());
  }
  return files;
}

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

double AspectRatio(const QWidget* widget) { return static_cast<double>(widget->width()) / widget->height(); }

QStringList Names(const QListWidget* list) {
  QStringList names;
  for (int row = 0; row < list->count(); ++row) names << list->item(row)->text();
  return names;
}

// The fake cameras' control file, written whole and renamed over the old one: the plugin reads it
// while a device monitor runs, and plugs in or unplugs what changed.
void PlugCameras(const QString& controlFile, const char* cameras) {
  const std::string next = controlFile.toStdString() + ".next";
  std::ofstream(next) << cameras;
  std::filesystem::rename(next, controlFile.toStdString());
}

}  // namespace

class CameraTabTest : public QObject {
  Q_OBJECT

  kalimo::test::TestSection section_;
  QTemporaryDir program_;

  std::filesystem::path Store() const { return std::filesystem::path(program_.path().toStdString()) / "store"; }
  std::filesystem::path PhotoFolder() const { return Store() / "Kalimo" / "照片"; }
  std::filesystem::path MovieFolder() const { return Store() / "Kalimo" / "录像"; }

  // The tab as the main window makes it: the window, then the panel, which opens the first camera.
  struct Tab {
    CWindowPlayingCamera window{kVirtualCameraName};
    CCameraResourceListDlg panel{window};
    Tab() { window.show(); }
    bool WaitForFrames(std::uint64_t count) {
      const std::uint64_t target = window.Capture().FramesDelivered() + count;
      return QTest::qWaitFor([&] { return window.Capture().FramesDelivered() >= target; }, 20000);
    }
  };

  void UseCameras(const char* cameras) { qputenv("KALIMO_FAKE_CAMERAS", cameras); }
  std::vector<std::string> VideoList() const {
    std::vector<std::string> lines;
    kalimo::ListFile::LoadList("chapters.dat", lines);
    return lines;
  }

 private slots:
  void initTestCase() {
    qputenv("KALIMO_PROGRAM_DIR", program_.path().toUtf8());
    std::ofstream(program_.filePath("config.ini").toStdString())
        << "[usingsetting]\nname=" << kVirtualCameraName << "\nresourcespath=" << Store().string() << "\n";
    std::filesystem::create_directories(Store());  // the user's storage root exists
    kalimo::CreateSettingParams();
    kalimo::PrepareStorageFolders();  // as the main window does when it starts
  }
  void init() {
    // The wide camera offers 1280 × 720 only: it opens at 640 × 360, keeping its shape.
    UseCameras("Desk Cam|raw:320x240;Wide Cam|raw:1280x720;Kalimo摄像头|raw:640x480|ours");
    std::filesystem::remove(program_.filePath("chapters.dat").toStdString());
  }
  void cleanupTestCase() {
    kalimo::CloseFrameSection(kalimo::ProcessFrameSectionHandle());
    kalimo::DestroySettingParams();
  }

  void listsRealCamerasOpensTheFirstAndSwitchesOnDoubleClick() {
    Tab tab;
    QListWidget* list = tab.panel.List();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Desk Cam"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("Wide Cam"));
    QVERIFY(tab.window.Bar()->IsCameraOpen());
    QCOMPARE(tab.window.PictureWidth(), 320);
    QCOMPARE(tab.window.PictureHeight(), 240);
    QVERIFY(qAbs(AspectRatio(tab.window.Picture()) - 4.0 / 3) < 0.02);
    QTRY_COMPARE_WITH_TIMEOUT(section_.Header().width, 320, 20000);

    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(tab.window.PictureWidth(), 640);
    QCOMPARE(tab.window.PictureHeight(), 360);
    QVERIFY(qAbs(AspectRatio(tab.window.Picture()) - 16.0 / 9) < 0.02);
    // The virtual camera gets the picture in the camera's own shape, not stretched to 4:3.
    QTRY_COMPARE_WITH_TIMEOUT(section_.Header().width, 640, 20000);
    QCOMPARE(section_.Header().height, 360);
    QVERIFY(tab.WaitForFrames(3));
  }

  void doubleClickOnEmptySpaceKeepsTheCamera() {
    Tab tab;
    QListWidget* list = tab.panel.List();
    list->clearSelection();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->viewport()->height() - 5));
    QCOMPARE(tab.window.PictureWidth(), 320);
    QVERIFY(tab.window.Bar()->IsCameraOpen());
    QVERIFY(tab.WaitForFrames(2));
  }

  void folderAndSettingsButtons() {
    Tab tab;
    CPlayCameraControlDlg* bar = tab.window.Bar();
    QStringList opened;
    bar->SetFolderOpener([&](const QString& folder) {
      opened << folder;
      return true;
    });
    QSignalSpy settings(bar, &CPlayCameraControlDlg::SettingsRequested);
    QTest::mouseClick(bar->FolderButton(), Qt::LeftButton);
    QCOMPARE(opened, QStringList{QString::fromStdString((Store() / "Kalimo").string())});
    QTest::mouseClick(bar->SettingsButton(), Qt::LeftButton);
    QCOMPARE(settings.count(), 1);
  }

  void withoutCamerasNothingOpensAndPhotoOrRecordSaySo() {
    UseCameras("Kalimo摄像头|raw:640x480|ours");
    Answers answers(kalimo::MessageAnswer::Ok);
    Tab tab;
    QCOMPARE(tab.panel.List()->count(), 0);
    QVERIFY(!tab.window.Bar()->IsCameraOpen());
    QTest::mouseClick(tab.window.Bar()->PhotoButton(), Qt::LeftButton);
    QTest::mouseClick(tab.window.Bar()->RecordButton(), Qt::LeftButton);
    QCOMPARE(answers.shown, (std::vector<std::string>{"摄像头没有打开，不能拍照", "摄像头没有打开，不能录像"}));
    QCOMPARE(answers.captions, (std::vector<std::string>{"Kalimo", "Kalimo"}));  // the same kind of box
    QVERIFY(tab.window.Bar()->PhotoButton()->isEnabled());
    QVERIFY(!tab.window.Bar()->IsRecording());
  }

  void onePhotoPerPressButtonsDisabledUntilItIsWritten() {
    Tab tab;
    QVERIFY(tab.WaitForFrames(2));
    const std::size_t before = FilesIn(PhotoFolder(), ".jpg").size();
    CPlayCameraControlDlg* bar = tab.window.Bar();
    QTest::mouseClick(bar->PhotoButton(), Qt::LeftButton);
    QVERIFY(!bar->PhotoButton()->isEnabled());
    QVERIFY(!bar->RecordButton()->isEnabled());
    QVERIFY(!bar->SettingsButton()->isEnabled());
    QTest::mouseClick(bar->PhotoButton(), Qt::LeftButton);  // a quick second press does nothing
    QTRY_VERIFY_WITH_TIMEOUT(bar->PhotoButton()->isEnabled(), 20000);
    QVERIFY(!bar->IsPhotoPending());
    const auto photos = FilesIn(PhotoFolder(), ".jpg");
    QCOMPARE(photos.size(), before + 1);
    QVERIFY(tab.WaitForFrames(3));
    QCOMPARE(FilesIn(PhotoFolder(), ".jpg").size(), before + 1);
    // The camera is 320 × 240, smaller than 640 × 480: the photo has the camera's largest size.
    QCOMPARE(Run("identify", {"-format", "%m %w %h", QString::fromStdString(photos.back().string())}),
             QStringLiteral("JPEG 320 240"));
  }

  void recordingAsksToAddTheMovieToTheVideoList_data() {
    QTest::addColumn<bool>("agree");
    QTest::newRow("OK adds it") << true;
    QTest::newRow("Cancel does not") << false;
  }
  void recordingAsksToAddTheMovieToTheVideoList() {
    QFETCH(bool, agree);
    Answers answers(agree ? kalimo::MessageAnswer::Ok : kalimo::MessageAnswer::Cancel);
    Tab tab;
    CPlayCameraControlDlg* bar = tab.window.Bar();
    QTest::mouseClick(bar->RecordButton(), Qt::LeftButton);
    QVERIFY(bar->IsRecording());
    QCOMPARE(bar->RecordButton()->text(), QStringLiteral("停止录像"));
    QVERIFY(!bar->PhotoButton()->isEnabled());
    QVERIFY(!bar->SettingsButton()->isEnabled());
    QVERIFY(bar->RecordButton()->isEnabled());
    QVERIFY(tab.WaitForFrames(15));
    QTest::mouseClick(bar->RecordButton(), Qt::LeftButton);
    QVERIFY(!bar->IsRecording());
    QCOMPARE(bar->RecordButton()->text(), QStringLiteral("录像"));
    QVERIFY(bar->PhotoButton()->isEnabled());
    QCOMPARE(answers.shown, std::vector<std::string>{"视频录制成功，是否需要把刚才录制的视频添加到虚拟视频的播放列表中"});
    const auto movies = FilesIn(MovieFolder(), ".avi");
    QVERIFY(!movies.empty());
    const std::string movie = std::filesystem::last_write_time(movies.front()) > std::filesystem::last_write_time(movies.back())
                                  ? movies.front().string() : movies.back().string();
    const QString probed = Run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                           "stream=codec_name,width,height", "-of", "csv=p=0",
                                           QString::fromStdString(movie)});
    QCOMPARE(probed, QStringLiteral("rawvideo,320,240"));
    const std::vector<std::string> list = VideoList();
    QCOMPARE(std::find(list.begin(), list.end(), movie) != list.end(), agree);
  }

  void closingWhileRecordingAsksAndOkStopsWithoutThePlaylistQuestion() {
    Answers answers(kalimo::MessageAnswer::Cancel);
    Tab tab;
    CPlayCameraControlDlg* bar = tab.window.Bar();
    QTest::mouseClick(bar->RecordButton(), Qt::LeftButton);
    QVERIFY(tab.WaitForFrames(5));
    tab.window.close();
    QCOMPARE(answers.shown, std::vector<std::string>{"正在录影中，是否要退出系统"});
    QVERIFY(tab.window.isVisible());
    QVERIFY(bar->IsRecording());
    answers.Set(kalimo::MessageAnswer::Ok);
    tab.window.close();
    QVERIFY(!tab.window.isVisible());
    QVERIFY(!bar->IsRecording());
    QCOMPARE(answers.shown.size(), 2u);  // no playlist question
    QVERIFY(VideoList().empty());
    // Hidden, the camera still feeds the virtual camera.
    QVERIFY(tab.WaitForFrames(3));
  }

  void switchingTabsWhileRecordingFinishesTheMovie() {
    Answers answers(kalimo::MessageAnswer::Ok);
    const std::size_t before = FilesIn(MovieFolder(), ".avi").size();
    {
      Tab tab;
      QTest::mouseClick(tab.window.Bar()->RecordButton(), Qt::LeftButton);
      QVERIFY(tab.WaitForFrames(15));
    }
    QVERIFY(answers.shown.empty());
    const auto movies = FilesIn(MovieFolder(), ".avi");
    QCOMPARE(movies.size(), before + 1);
    for (const auto& movie : movies) {
      QVERIFY2(!Run("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                                QString::fromStdString(movie.string())})
                    .isEmpty(),
               movie.c_str());
    }
  }

  void camerasPluggedInAndOutWhileThePanelIsOpen() {
    const QString control = program_.filePath("cameras");
    PlugCameras(control, "Desk Cam|raw:320x240\nWide Cam|raw:1280x720\nKalimo摄像头|raw:640x480|ours");
    qputenv("KALIMO_FAKE_CAMERAS_FILE", control.toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("KALIMO_FAKE_CAMERAS_FILE"); });
    Tab tab;
    QListWidget* list = tab.panel.List();
    QVERIFY(tab.panel.IsWatchingCameras());
    QCOMPARE(Names(list), (QStringList{"Desk Cam", "Wide Cam"}));
    QVERIFY(tab.WaitForFrames(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());

    // A third camera, and our own virtual camera again under another name: only the camera is listed.
    PlugCameras(control, "Desk Cam|raw:320x240\nWide Cam|raw:1280x720\nKalimo摄像头|raw:640x480|ours\n"
                         "Door Cam|raw:640x480\nRenamed|raw:640x480|ours");
    QTRY_COMPARE_WITH_TIMEOUT(Names(list), (QStringList{"Desk Cam", "Wide Cam", "Door Cam"}), 20000);
    QVERIFY(tab.window.Bar()->IsCameraOpen());
    QCOMPARE(list->selectedItems().size(), 1);
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Wide Cam"));  // the selection stays

    // The open camera is unplugged: the window says so, the list shrinks, the last picture stays.
    PlugCameras(control, "Wide Cam|raw:1280x720\nKalimo摄像头|raw:640x480|ours\nDoor Cam|raw:640x480\n"
                         "Renamed|raw:640x480|ours");
    QTRY_COMPARE_WITH_TIMEOUT(tab.window.StatusText(), QString::fromUtf8(CWindowPlayingCamera::kCameraLostText), 20000);
    QVERIFY(!tab.window.Bar()->IsCameraOpen());
    QTRY_COMPARE_WITH_TIMEOUT(Names(list), (QStringList{"Wide Cam", "Door Cam"}), 20000);
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(list->currentItem()->isSelected());
    QCOMPARE(section_.Header().width, 320);
    QCOMPARE(section_.Header().height, 240);

    // The rows still open the cameras they show.
    const QRect door = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, door.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, door.center());
    QVERIFY(tab.window.Bar()->IsCameraOpen());
    QVERIFY(tab.window.StatusText().isEmpty());
    QCOMPARE(tab.window.PictureWidth(), 640);
    QCOMPARE(tab.window.PictureHeight(), 480);
    QVERIFY(tab.WaitForFrames(2));
    QTRY_COMPARE_WITH_TIMEOUT(section_.Header().height, 480, 20000);
  }

  void anUnpluggedCameraIsReportedAndTheCameraKeepsTheLastPicture() {
    UseCameras("Short Cam|raw:320x240|frames=10");
    Tab tab;
    QVERIFY(tab.window.Bar()->IsCameraOpen());
    QTRY_COMPARE_WITH_TIMEOUT(tab.window.StatusText(), QString::fromUtf8(CWindowPlayingCamera::kCameraLostText), 20000);
    QVERIFY(!tab.window.Bar()->IsCameraOpen());
    QCOMPARE(section_.Header().width, 320);
    QCOMPARE(section_.Header().height, 240);
  }
};

QTEST_MAIN(CameraTabTest)
#include "CameraTabTest.moc"
