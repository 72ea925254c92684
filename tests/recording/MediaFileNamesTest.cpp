#include "recording/MediaFileNames.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "library/settings/SettingParams.h"
#include "recording/StorageFolders.h"
#include "tests/recording/RecordingTestSupport.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;
using test::MessageLog;
using test::TempDir;

void Touch(const std::string& path) { std::ofstream(path).put('x'); }

class MediaFileNamesTest : public ::testing::Test {
 protected:
  MediaFileNamesTest() { SetToday({2012, 9, 17}); }
  ~MediaFileNamesTest() override { SetTodayFunction({}); }
  void SetToday(CalendarDate date) {
    SetTodayFunction([date] { return date; });
  }
  std::string Flat(MediaKind kind = MediaKind::Movie) { return FlatLayoutFileName(folder.Str(), kind); }
  std::string Dated(MediaKind kind = MediaKind::Photo) { return DatedLayoutFileName(folder.Str(), kind); }
  std::string In(const std::string& name) { return folder.Str() + "/" + name; }

  TempDir folder;
};

TEST_F(MediaFileNamesTest, DateTextAndTheClock) {
  EXPECT_EQ(DateText({2012, 9, 17}), "20120917");
  EXPECT_EQ(DateText(Today()), "20120917");
  SetTodayFunction({});
  EXPECT_EQ(DateText(Today()).size(), 8u);
  EXPECT_NE(DateText(Today()), "20120917");
}

TEST_F(MediaFileNamesTest, FlatLayoutNumbersWithinADayAndRestartsOnTheNext) {
  EXPECT_EQ(Flat(), In("M20120917_0001.avi"));
  Touch(In("M20120917_0001.avi"));
  EXPECT_EQ(Flat(), In("M20120917_0002.avi"));
  Touch(In("M20120917_0002.avi"));
  SetToday({2012, 9, 18});
  EXPECT_EQ(Flat(), In("M20120918_0001.avi"));
  // Photos follow the same rule with their own pattern.
  EXPECT_EQ(Flat(MediaKind::Photo), In("S20120918_0001.jpg"));
  Touch(In("S20120918_0001.jpg"));
  EXPECT_EQ(Flat(MediaKind::Photo), In("S20120918_0002.jpg"));
  // Naming created nothing: the folder holds only the test's three files.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 3);
}

TEST_F(MediaFileNamesTest, FlatLayoutFollowsALaterDateAndIgnoresForeignNames) {
  for (const char* name : {"notes.txt", "M2012_x.avi", "M20120917.avi", "Mx2012_0003.avi", "M20990101_99999999999999999.avi"}) {
    Touch(In(name));
  }
  fs::create_directory(In("M20991231_0042.avi"));  // a folder is not a movie
  EXPECT_EQ(Flat(), In("M20120917_0001.avi"));
  Touch(In("M20991231_0005.avi"));
  EXPECT_EQ(Flat(), In("M20991231_0006.avi"));
  // A missing folder names the first file of the day and creates nothing.
  EXPECT_EQ(FlatLayoutFileName(In("missing"), MediaKind::Movie), In("missing/M20120917_0001.avi"));
  EXPECT_FALSE(fs::exists(In("missing")));
}

TEST_F(MediaFileNamesTest, DatedLayoutKeepsAThousandFilesPerSubfolder) {
  EXPECT_EQ(Dated(), In("20120917/000/SingleShot0000.jpg"));
  EXPECT_TRUE(fs::is_directory(In("20120917/000")));
  Touch(In("20120917/000/SingleShot0000.jpg"));
  EXPECT_EQ(Dated(), In("20120917/000/SingleShot0001.jpg"));
  Touch(In("20120917/000/SingleShot0999.jpg"));
  EXPECT_EQ(Dated(), In("20120917/001/SingleShot1000.jpg"));
  Touch(In("20120917/001/SingleShot1000.jpg"));
  EXPECT_EQ(Dated(), In("20120917/001/SingleShot1001.jpg"));
  // Movies share the day's subfolders but count their own prefix.
  EXPECT_EQ(Dated(MediaKind::Movie), In("20120917/001/Movie0000.avi"));
}

TEST_F(MediaFileNamesTest, NamesNeedAFolderThatExistsOrCanBeMade) {
  MessageLog messages;
  EXPECT_EQ(MakeMediaFileName("", MediaKind::Photo, 0), "");
  EXPECT_EQ(MakeMediaFileName("", MediaKind::Photo, 1), "");
  EXPECT_TRUE(messages.Texts().empty());

  const std::string deep = In("no/such");
  EXPECT_EQ(MakeMediaFileName(deep, MediaKind::Movie, 1), "");
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], deep + SystemErrorText(ENOENT));
  EXPECT_EQ(messages.Messages()[0].caption, "Corvessa");

  Touch(In("file"));  // a file where the folder should be
  EXPECT_FALSE(EnsureFolder(In("file")));
  EXPECT_EQ(messages.Texts().back(), In("file") + SystemErrorText(EEXIST));
  EXPECT_TRUE(EnsureFolder(In("fresh")));
  EXPECT_TRUE(EnsureFolder(In("fresh")));
  EXPECT_EQ(messages.Texts().size(), 2u);
}

TEST(MediaFileNamesWithSettings, LayoutComesFromTheSettings) {
  SetTodayFunction([] { return CalendarDate{2012, 9, 17}; });
  for (const int layout : {0, 1}) {
    test::RecordingSetup setup({layout});
    fs::create_directories(setup.MovieFolder());
    fs::create_directories(setup.PhotoFolder());
    const std::string movie = MakeMovieFileName(GetMovieFolder(GetCurrentSettings()));
    const std::string photo = MakeSnapshotFileName(GetPhotoFolder(GetCurrentSettings()));
    if (layout == 0) {
      EXPECT_EQ(movie, setup.MovieFolder() + "/M20120917_0001.avi");
      EXPECT_EQ(photo, setup.PhotoFolder() + "/S20120917_0001.jpg");
    } else {
      EXPECT_EQ(movie, setup.MovieFolder() + "/20120917/000/Movie0000.avi");
      EXPECT_EQ(photo, setup.PhotoFolder() + "/20120917/000/SingleShot0000.jpg");
    }
  }
  SetTodayFunction({});
}

bool PreparesOncePerRun() {
  test::RecordingSetup setup;
  MessageLog messages;
  bool ok = !StorageFoldersPrepared();
  PrepareStorageFolders();
  ok = ok && StorageFoldersPrepared() && fs::is_directory(setup.PhotoFolder()) && fs::is_directory(setup.MovieFolder());
  fs::remove_all(setup.StorageFolder());
  PrepareStorageFolders();  // once per run
  return ok && !fs::exists(setup.StorageFolder()) && messages.Texts().empty();
}

// A storage root that does not exist yet is made with every folder above it, private to the user.
bool MakesAMissingRootWhole() {
  test::RecordingSetup setup({0, 1, false});
  MessageLog messages;
  PrepareStorageFolders();
  const auto mode = fs::status(setup.Root()).permissions() & fs::perms::all;
  return messages.Texts().empty() && fs::is_directory(setup.PhotoFolder()) && fs::is_directory(setup.MovieFolder()) &&
         mode == fs::perms::owner_all;
}

// A root that cannot be made (a file stands in its way) is reported once, for the folder that failed.
bool ReportsAnUnusableRootOnce() {
  test::RecordingSetup setup({0, 1, false});
  Touch(setup.Root());
  MessageLog messages;
  PrepareStorageFolders();
  return messages.Texts() == std::vector<std::string>{setup.StorageFolder() + SystemErrorText(ENOTDIR)};
}

// The default root on a fresh account: the Videos folder, else the Documents folder when only that
// exists; a missing Videos folder is made rather than reported.
bool PutsTheDefaultRootInVideosOrDocuments(bool documentsExists) {
  test::RecordingSetup setup;
  std::ofstream(setup.ProgramFolder() + "/config.ini", std::ios::trunc) << "[usingsetting]\nresourcespath=default\n";
  const fs::path documents = setup.home / "Documents";
  if (documentsExists) fs::create_directory(documents);
  DestroySettingParams();
  CreateSettingParams();
  MessageLog messages;
  PrepareStorageFolders();
  const fs::path expected = (documentsExists ? documents : setup.home / "Videos") / "Kalimo" / "照片";
  return messages.Texts().empty() && fs::is_directory(expected);
}

// The folders are prepared once per process, so each case runs in a fresh child process (also
// when the whole test program runs in one process); the child ends with _exit, skipping the log
// library's exit handlers, which wait for threads a forked child does not have.
TEST(StorageFolders, PreparedOncePerRunBelowTheStorageRoot) {
  EXPECT_EXIT(_exit(PreparesOncePerRun() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(StorageFolders, MissingStorageRootIsMadeWhole) {
  EXPECT_EXIT(_exit(MakesAMissingRootWhole() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(StorageFolders, UnusableStorageRootIsReportedOnce) {
  EXPECT_EXIT(_exit(ReportsAnUnusableRootOnce() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(StorageFolders, DefaultRootIsVideosElseDocumentsAndIsMadeWhenMissing) {
  EXPECT_EXIT(_exit(PutsTheDefaultRootInVideosOrDocuments(false) ? 0 : 1), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(_exit(PutsTheDefaultRootInVideosOrDocuments(true) ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kalimo
