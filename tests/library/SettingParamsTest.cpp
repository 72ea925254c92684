#include "library/settings/SettingParams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/ProfileFile.h"
#include "platform/ProgramPaths.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

// A home with its own Videos folder, a program folder, and no user-dirs configuration, so the
// user's Videos folder is $HOME/Videos.
class SettingParamsTest : public ::testing::Test {
 protected:
  SettingParamsTest() {
    fs::create_directory(home / "Videos");
    fs::create_directory(home / "Documents");
    fs::create_directory(home / "config");
    setenv("HOME", home.Str().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
  }
  ~SettingParamsTest() override {
    DestroySettingParams();
    unsetenv("KALIMO_PROGRAM_DIR");
  }

  std::string Config(const std::string& key) {
    return platform::ReadProfileString((program / "config.ini").string(), "usingsetting", key, "<absent>");
  }
  void Reload() {
    DestroySettingParams();
    CreateSettingParams();
  }

  test::TempDir home;
  test::TempDir program;
  std::string videos = (home / "Videos").string();
};

TEST_F(SettingParamsTest, WithoutConfigEveryValueIsItsDefault) {
  const SettingValues current = GetCurrentSettings();
  EXPECT_EQ(current.frameWidth, 640);
  EXPECT_EQ(current.frameHeight, 480);
  EXPECT_EQ(current.movieResolution, 1);
  EXPECT_EQ(current.resourcesPath, videos);
  EXPECT_EQ(current.storageFolder, videos + "/Kalimo");
  EXPECT_EQ(GetPhotoFolder(current), videos + "/Kalimo/照片");
  EXPECT_EQ(GetMovieFolder(current), videos + "/Kalimo/录像");
  EXPECT_EQ(current.makingMoviePath, videos + "/Kalimo/录像");
  EXPECT_EQ(current.movieSizeMax, 16);
  EXPECT_EQ(current.shotsOfTimedShot, 60);
  EXPECT_EQ(current.minutesOfTimedShot, 60);
  EXPECT_EQ(current.autoCreatingFolder, 0);
  EXPECT_EQ(current.makingTimeOneFrame, 1);
  EXPECT_EQ(current.makingMovieResolution, 1);
  EXPECT_EQ(current.language, -1);
  EXPECT_EQ(CameraName(), "Virtual Camera");
  EXPECT_EQ(OemProductName(), "Corvessa");
  EXPECT_EQ(OemCompanyName(), "Harbeck Industries Ltd");
  EXPECT_FALSE(fs::exists(program / "config.ini"));  // reading creates nothing

  EXPECT_EQ(GetProgramFolder(), program.Str() + "/");
  EXPECT_EQ(GetConfigPath(), program.Str() + "/config.ini");
  EXPECT_EQ(GetProgramFilePath("image/capturescreenintro.jpg"), program.Str() + "/image/capturescreenintro.jpg");
}

TEST_F(SettingParamsTest, DocumentsFolderStandsInForAMissingVideosFolder) {
  fs::remove(home / "Videos");
  EXPECT_EQ(GetDefaultStorageRoot(), (home / "Documents").string());
  EXPECT_EQ(GetCurrentSettings().storageFolder, (home / "Documents").string() + "/Kalimo");
}

TEST_F(SettingParamsTest, SavedSettingsHoldEveryKeyAndReadBackEqual) {
  SettingValues values = GetCurrentSettings();
  values.movieResolution = 0;
  values.autoCreatingFolder = 1;
  values.language = 2;
  values.movieSizeMax = 700;
  EXPECT_TRUE(SaveSettings(values));
  EXPECT_EQ(GetCurrentSettings(), values);

  EXPECT_EQ(Config("resourcespath"), "default");
  EXPECT_EQ(Config("makingmoviepath"), videos + "/Kalimo/录像");
  for (const char* key : {"shotsoftimedshot", "minutesoftimedshot", "makingtimeoneframe", "makingmovieresolution",
                          "autocreatingfolder", "movieresolution", "moviesizemax", "language"}) {
    EXPECT_NE(Config(key), "<absent>") << key;
  }
  Reload();
  EXPECT_EQ(GetCurrentSettings(), values);

  SetStorageRoot(values, "/media/视频/");
  EXPECT_TRUE(SaveSettings(values));
  // UTF-8 on disk.
  EXPECT_NE(ReadBytes(program / "config.ini").find("resourcespath=/media/\xE8\xA7\x86\xE9\xA2\x91\n"),
            std::string::npos);
  Reload();
  EXPECT_EQ(GetCurrentSettings().resourcesPath, "/media/视频");
  EXPECT_EQ(GetCurrentSettings().storageFolder, "/media/视频/Kalimo");
}

TEST_F(SettingParamsTest, ChosenRootsAreNormalised) {
  struct Case {
    std::string chosen, root, storage;
  };
  const std::vector<Case> cases = {
      {"/media/clips/", "/media/clips", "/media/clips/Kalimo"},
      {"/media/clips///", "/media/clips", "/media/clips/Kalimo"},
      {"/media/Kalimo", "/media/Kalimo", "/media/Kalimo"},
      {"/media/Kalimo/", "/media/Kalimo", "/media/Kalimo"},
      {"/media/MyKalimo", "/media/MyKalimo", "/media/MyKalimo/Kalimo"},
      {"/media/kalimo", "/media/kalimo", "/media/kalimo/Kalimo"},
      {"/", "/", "/Kalimo"},
      {"//", "/", "/Kalimo"},
      {"/media/back\\slash\\", "/media/back\\slash\\", "/media/back\\slash\\/Kalimo"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SettingValues values;
    SetStorageRoot(values, c.chosen);
    EXPECT_EQ(values.resourcesPath, c.root) << c.chosen;
    EXPECT_EQ(values.storageFolder, c.storage) << c.chosen;
  }
}

TEST_F(SettingParamsTest, OnlyTheExactKeywordMeansTheDefaultRoot) {
  WriteBytes(program / "config.ini",
             "[usingsetting]\nresourcespath=Default\nmakingmoviepath=default\n"
             "[defaultsetting]\nresourcespath=default\n");
  EXPECT_EQ(GetCurrentSettings().resourcesPath, "Default");
  EXPECT_EQ(GetCurrentSettings().storageFolder, "Default/Kalimo");
  EXPECT_EQ(GetCurrentSettings().makingMoviePath, "Default/Kalimo/录像");
}

TEST_F(SettingParamsTest, ShippedConfigNamesTheVirtualCamera) {
  fs::copy_file(fs::path(KALIMO_SOURCE_DIR) / "resources/config.ini", program / "config.ini");
  EXPECT_EQ(CameraName(), "Kalimo摄像头");
  EXPECT_TRUE(SaveSettings(GetCurrentSettings()));
  Reload();
  EXPECT_EQ(CameraName(), "Kalimo摄像头");
}

TEST_F(SettingParamsTest, DamagedConfigGivesUsableSettings) {
  WriteBytes(program / "config.ini",
             std::string("\x00\xFF garbage\n", 11) +
                 "[usingsetting]\nmovieresolution=abc\nautocreatingfolder=\nlanguage=-1x\n"
                 "resourcespath=\nname=" + std::string(400, 'n') + "\n");
  const SettingValues current = GetCurrentSettings();
  EXPECT_EQ(current.movieResolution, 0);
  EXPECT_EQ(current.autoCreatingFolder, 0);
  EXPECT_EQ(current.language, -1);
  EXPECT_EQ(current.resourcesPath, videos);  // an empty root would put the folders at "/"
  EXPECT_EQ(current.storageFolder, videos + "/Kalimo");
  EXPECT_EQ(CameraName(), std::string(259, 'n'));
}

// A folder where config.ini should be, or a program folder that is gone: defaults, and a save
// that reports its failure but still takes effect for this run.
TEST_F(SettingParamsTest, UnwritableConfigLeavesItsPlaceAlone) {
  fs::create_directory(program / "config.ini");
  WriteBytes(program / "config.ini" / "inside", "user's");
  SettingValues values = GetCurrentSettings();
  EXPECT_EQ(values.movieResolution, 1);
  values.movieResolution = 0;
  EXPECT_FALSE(SaveSettings(values));
  EXPECT_EQ(GetCurrentSettings().movieResolution, 0);
  EXPECT_EQ(ReadBytes(program / "config.ini" / "inside"), "user's");

  setenv("KALIMO_PROGRAM_DIR", (program / "deleted").c_str(), 1);
  EXPECT_FALSE(SaveSettings(values));
  EXPECT_FALSE(fs::exists(program / "deleted"));
}

// Readers on other threads see either the record before a save or the one after, never a mix.
TEST_F(SettingParamsTest, ReadersNeverSeeATornRecord) {
  auto recordFor = [](int n) {
    SettingValues values;
    SetStorageRoot(values, "/media/root" + std::to_string(n));
    values.makingMoviePath = values.storageFolder + "/making";
    values.movieResolution = values.movieSizeMax = values.shotsOfTimedShot = values.language = n;
    return values;
  };
  auto consistent = [](const SettingValues& v) {
    const int n = v.movieResolution;
    return v.movieSizeMax == n && v.shotsOfTimedShot == n && v.language == n &&
           v.resourcesPath == "/media/root" + std::to_string(n) && v.storageFolder == v.resourcesPath + "/Kalimo" &&
           v.makingMoviePath == v.storageFolder + "/making";
  };
  SaveSettings(recordFor(0));

  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop) {
        if (!consistent(GetCurrentSettings())) ++torn;
        ++reads;
      }
    });
  }
  for (int n = 1; n <= 100; ++n) SaveSettings(recordFor(n));
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(GetCurrentSettings(), recordFor(100));
}

// A packaged program: the user's first start copies the shipped config.ini into the user's config
// folder; saving writes there; the program folder's file stays byte for byte.
TEST_F(SettingParamsTest, PackagedProgramKeepsEachUsersSettingsInTheirConfigFolder) {
  const std::string shipped = "[usingsetting]\r\nmovieresolution=2\r\nresourcespath=default\r\n";
  WriteBytes(program / "config.ini", shipped);
  std::ofstream(program / platform::kPackagedMarkerFile) << "\n";
  const fs::path users = home / "config" / "kalimo" / "config.ini";
  Reload();
  EXPECT_EQ(GetConfigPath(), users.string());
  EXPECT_EQ(GetCurrentSettings().movieResolution, 2);
  EXPECT_EQ(ReadBytes(users), shipped);
  EXPECT_EQ(fs::status(users.parent_path()).permissions(), fs::perms::owner_all);

  SettingValues changed = GetCurrentSettings();
  changed.movieResolution = 0;
  ASSERT_TRUE(SaveSettings(changed));
  EXPECT_EQ(platform::ReadProfileString(users.string(), "usingsetting", "movieresolution", ""), "0");
  EXPECT_EQ(ReadBytes(program / "config.ini"), shipped);

  // Another user starts from the shipped settings, not from the first one's.
  test::TempDir other;
  setenv("XDG_CONFIG_HOME", other.Str().c_str(), 1);
  Reload();
  EXPECT_EQ(GetCurrentSettings().movieResolution, 2);
  EXPECT_TRUE(fs::exists(other / "kalimo" / "config.ini"));
}

}  // namespace
}  // namespace kalimo
