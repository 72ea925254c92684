#include "library/VideoGroupStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/ListFile.h"
#include "platform/ProgramPaths.h"
#include "platform/TextEncoding.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

using Lines = std::vector<std::string>;

VideoGroup Group(std::int32_t mode, const std::string& name, Lines videos, const std::string& seamless = "") {
  return VideoGroup{mode, name, std::move(videos), seamless};
}

class VideoGroupStoreTest : public ::testing::Test {
 protected:
  VideoGroupStoreTest() { setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1); }
  ~VideoGroupStoreTest() override { unsetenv("KALIMO_PROGRAM_DIR"); }

  void WriteFile(const std::string& utf8) {
    std::ofstream file(program / "chapters.dat", std::ios::binary);
    file << platform::Utf8ToGb18030(utf8).value();
  }
  std::string ReadFile() {
    std::ifstream file(program / "chapters.dat", std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return platform::Gb18030ToUtf8(content.str()).value_or("<not GB18030>");
  }

  test::TempDir program;
  VideoGroupStore store;
};

TEST_F(VideoGroupStoreTest, ExampleFileLoadsToItsModelAndSavesBack) {
  WriteFile(
      "聊天&mode&3\r\n聊天&prevent&/clips/typing.avi\r\n聊天&/clips/typing.avi\r\n聊天&/clips/wave.avi\r\n"
      "空组&\r\n/movie.avi");
  ASSERT_TRUE(store.LoadGroups());
  EXPECT_EQ(store.Groups(), (std::vector<VideoGroup>{
                                Group(PlaySeamless, "聊天", {"/clips/typing.avi", "/clips/wave.avi"}, "/clips/typing.avi"),
                                Group(PlayOnce, "空组", {}),
                                Group(PlayOnce, DefaultGroupName, {"/movie.avi"}),
                            }));
  ASSERT_TRUE(store.SaveGroups());
  // The bare path comes back with the name of the group it joined.
  EXPECT_EQ(ReadFile(),
            "聊天&mode&3\r\n聊天&prevent&/clips/typing.avi\r\n聊天&/clips/typing.avi\r\n聊天&/clips/wave.avi\r\n"
            "空组&\r\n我的视频分组&/movie.avi");
}

TEST_F(VideoGroupStoreTest, ModeVideoAndEmptyGroupLinesRoundTripExactly) {
  WriteFile("A&mode&0\r\nA&x.avi\r\nB&");
  ASSERT_TRUE(store.LoadGroups());
  EXPECT_EQ(store.Groups(), (std::vector<VideoGroup>{Group(PlayLoopGroup, "A", {"x.avi"}), Group(PlayOnce, "B", {})}));
  ASSERT_TRUE(store.SaveGroups());
  EXPECT_EQ(ReadFile(), "A&mode&0\r\nA&x.avi\r\nB&");
}

TEST_F(VideoGroupStoreTest, EachLineLandsInItsGroup) {
  struct Case {
    std::string line;
    VideoGroup expected;
  };
  const std::vector<Case> cases = {
      {"A&C:/a&b.avi", Group(PlayOnce, "A", {"C:/a&b.avi"})},
      {"&mode&1", Group(PlayOnce, DefaultGroupName, {"&mode&1"})},
      {"&prevent&/x.avi", Group(PlayOnce, DefaultGroupName, {"&prevent&/x.avi"})},
      {"&/x.avi", Group(PlayOnce, DefaultGroupName, {"&/x.avi"})},
      {"/bare/path.avi", Group(PlayOnce, DefaultGroupName, {"/bare/path.avi"})},
      {"A&mode&abc", Group(PlayLoopGroup, "A", {})},
      {"A&mode&  -7x", Group(-7, "A", {})},
      {"A&mode&99999999999", Group(2147483647, "A", {})},
      {"A&prevent&/p&mode&1.avi", Group(PlayOnce, "A", {}, "/p&mode&1.avi")},
  };
  for (const Case& c : cases) {
    VideoGroupStore fresh;
    fresh.ParseGroupLines({c.line});
    EXPECT_EQ(fresh.Groups(), std::vector<VideoGroup>{c.expected}) << c.line;
  }
}

TEST_F(VideoGroupStoreTest, GroupsOfOneNameMergeInFileOrder) {
  store.ParseGroupLines({"A&mode&0", "A&prevent&/1.avi", "/bare.avi", "A&/1.avi", "B&", "A&mode&1",
                         "A&prevent&/2.avi", "我的视频分组&/named.avi", "A&/2.avi", "A&/1.avi", "B&/b.avi"});
  EXPECT_EQ(store.Groups(), (std::vector<VideoGroup>{
                                Group(PlayRepeatOne, "A", {"/1.avi", "/2.avi", "/1.avi"}, "/2.avi"),
                                Group(PlayOnce, DefaultGroupName, {"/bare.avi", "/named.avi"}),
                                Group(PlayOnce, "B", {"/b.avi"}),
                            }));
}

TEST_F(VideoGroupStoreTest, SampleEntryJoinsTheDefaultGroup) {
  WriteFile(std::string(ListFile::kSampleVideoEntry) + "\r\n我的视频分组&/mine.avi");
  ASSERT_TRUE(store.LoadGroups());
  EXPECT_EQ(store.Groups(), (std::vector<VideoGroup>{Group(
                                PlayOnce, DefaultGroupName,
                                {program.Str() + "/" + ListFile::kSampleVideoEntry, "/mine.avi"})}));
}

TEST_F(VideoGroupStoreTest, VideoAtAnIndexOutsideTheListIsTheFirst) {
  store.AddGroupVideo("A", "/1.avi");
  store.AddGroupVideo("A", "/2.avi");
  store.AddGroupVideo("A", "");
  store.AddGroupVideo("E", "");
  EXPECT_EQ(store.GetGroupVideoCount("A"), 2);
  EXPECT_EQ(store.GetGroupVideoAt("A", 1), "/2.avi");
  EXPECT_EQ(store.GetGroupVideoAt("A", -1), "/1.avi");
  EXPECT_EQ(store.GetGroupVideoAt("A", 2), "/1.avi");
  EXPECT_EQ(store.GetGroupVideoAt("E", -1), "");
  EXPECT_EQ(store.GetGroupVideoAt("E", 0), "");
  EXPECT_EQ(store.GetGroupVideoAt("missing", 0), "");
  EXPECT_EQ(store.GetGroupVideoCount("missing"), 0);
}

TEST_F(VideoGroupStoreTest, EditsChangeOnlyWhatTheyName) {
  store.AddGroupVideo("A", "/1.avi");
  store.AddGroupVideo("A", "/2.avi");
  store.AddGroupVideo("A", "/1.avi");
  store.AddGroupVideo("B", "/b.avi");
  EXPECT_EQ(store.IndexOfGroupVideo("A", "/1.avi"), 0);
  EXPECT_EQ(store.IndexOfGroupVideo("A", "/3.avi"), -1);
  EXPECT_EQ(store.IndexOfGroupVideo("missing", "/1.avi"), -1);

  store.RemoveGroupVideoAt("A", 3);
  store.RemoveGroupVideoAt("A", -1);
  store.RemoveGroupVideoAt("missing", 0);
  store.RemoveGroupVideoAt("A", 1);
  EXPECT_EQ(store.FindGroup("A")->videos, (Lines{"/1.avi", "/1.avi"}));

  store.RenameGroup("B", "C");
  EXPECT_EQ(store.FindGroup("B"), nullptr);
  ASSERT_NE(store.FindGroup("C"), nullptr);
  EXPECT_EQ(store.FindGroup("a"), nullptr);  // names compare case-sensitively

  store.RemoveGroup("A");
  EXPECT_EQ(store.Groups(), (std::vector<VideoGroup>{Group(PlayOnce, "C", {"/b.avi"})}));
}

TEST_F(VideoGroupStoreTest, ClearedSeamlessGroupKeepsModeAndIdleVideo) {
  store.SetGroupMode("S", PlaySeamless);
  store.SetGroupSeamless("S", "/idle.avi");
  store.AddGroupVideo("S", "/idle.avi");
  store.AddGroupVideo("", "/nameless.avi");  // a group without a name is not written
  store.ClearGroupVideos("S");
  EXPECT_EQ(store.SerializeGroups(), (Lines{"S&mode&3", "S&prevent&/idle.avi", "S&"}));
}

// A first start (no list at all) begins with the sample video beside the program and writes the
// list that names it; a list that exists in any form, or a missing sample, keeps things as they are.
TEST_F(VideoGroupStoreTest, FirstStartBeginsWithTheShippedSampleOnly) {
  namespace fs = std::filesystem;
  enum class List { kMissing, kEmpty, kBrokenLink, kFolder };
  struct Case {
    const char* what;
    List list;
    bool sampleShipped;
    bool sampleListed;
  };
  const Case cases[] = {
      {"first start", List::kMissing, true, true},
      {"no sample shipped", List::kMissing, false, false},
      {"list emptied by the user", List::kEmpty, true, false},
      {"list behind a broken link", List::kBrokenLink, true, false},
      {"a folder in the list's place", List::kFolder, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir folder;
    setenv("KALIMO_PROGRAM_DIR", folder.Str().c_str(), 1);
    const fs::path list = folder / "chapters.dat";
    const fs::path sample = folder / ListFile::kSampleVideoEntry;
    if (c.sampleShipped) {
      fs::create_directories(sample.parent_path());
      std::ofstream(sample) << "video";
    }
    if (c.list == List::kEmpty) std::ofstream{list};
    if (c.list == List::kBrokenLink) fs::create_symlink(folder / "elsewhere.dat", list);
    if (c.list == List::kFolder) fs::create_directory(list);

    VideoGroupStore firstStart;
    firstStart.LoadGroups();
    if (c.sampleListed) {
      EXPECT_EQ(firstStart.Groups(), (std::vector<VideoGroup>{Group(PlayOnce, DefaultGroupName, {sample.string()})}));
      std::ifstream file(list, std::ios::binary);
      std::ostringstream content;
      content << file.rdbuf();
      EXPECT_EQ(content.str(), platform::Utf8ToGb18030(ListFile::kSampleVideoEntry).value());
    } else {
      EXPECT_TRUE(firstStart.Groups().empty());
      EXPECT_EQ(fs::exists(fs::symlink_status(list)), c.list != List::kMissing);
      EXPECT_FALSE(fs::exists(folder / "elsewhere.dat"));
      if (c.list == List::kEmpty) {
        EXPECT_EQ(fs::file_size(list), 0u);
      }
    }
  }
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
}

TEST_F(VideoGroupStoreTest, MissingFileGivesAnEmptyModel) {
  EXPECT_FALSE(store.LoadGroups());
  EXPECT_TRUE(store.Groups().empty());
}

TEST(VideoPathNames, SplitAtTheLastSlashes) {
  struct Case {
    std::string path, file, folder;
  };
  const std::vector<Case> cases = {
      {"/home/user/视频/a.avi", "a.avi", "视频"},
      {"/a.avi", "a.avi", ""},
      {"a.avi", "", ""},
      {"clips/a.avi", "a.avi", ""},
      {"/clips/", "", "clips"},
      {"C:\\clips\\a.avi", "", ""},  // a backslash is part of a Linux file name
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VideoFileName(c.path), c.file) << c.path;
    EXPECT_EQ(VideoFolderName(c.path), c.folder) << c.path;
  }
}

// A packaged program: each user's list is in that user's data folder, the program folder (the
// system's) stays as shipped, and the sample still plays from the program folder.
TEST(VideoGroupStorePackaged, EachUsersListLivesInTheirDataFolder) {
  namespace fs = std::filesystem;
  test::TempDir program;
  const fs::path sample = program / ListFile::kSampleVideoEntry;
  fs::create_directories(sample.parent_path());
  std::ofstream(sample) << "video";
  std::ofstream(program / platform::kPackagedMarkerFile) << "\n";
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
  for (const char* user : {"first", "second"}) {
    SCOPED_TRACE(user);
    test::TempDir data;
    setenv("XDG_DATA_HOME", data.Str().c_str(), 1);
    VideoGroupStore firstStart;
    firstStart.LoadGroups();
    EXPECT_EQ(firstStart.Groups(), (std::vector<VideoGroup>{Group(PlayOnce, DefaultGroupName, {sample.string()})}));
    firstStart.AddGroupVideo("我的分组", "/mine.avi");
    ASSERT_TRUE(firstStart.SaveGroups());
    EXPECT_TRUE(fs::is_regular_file(data / "kalimo" / "chapters.dat"));
    EXPECT_EQ(fs::status(data / "kalimo").permissions(), fs::perms::owner_all);
  }
  unsetenv("XDG_DATA_HOME");
  unsetenv("KALIMO_PROGRAM_DIR");
  EXPECT_FALSE(fs::exists(program / "chapters.dat"));
}

}  // namespace
}  // namespace kalimo
