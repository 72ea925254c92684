#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;
using platform::ParseProfileInt;
using platform::ReadProfileInt;
using platform::ReadProfileString;
using platform::WriteProfileString;

using test::ReadBytes;
using test::WriteBytes;

class ProfileFileTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& section, const std::string& key) {
    return ReadProfileString(path, section, key, "<default>");
  }
  test::TempDir folder;
  std::string path = (folder / "config.ini").string();
};

TEST_F(ProfileFileTest, ReadsTheWayTheProfileFunctionsDo) {
  WriteBytes(path,
             "\xEF\xBB\xBF"
             "top=outside any section\r\n"
             "[UsingSetting]\r\n"
             "  Name =  Kalimo摄像头  \r\n"
             "quoted=\" padded \"\r\n"
             "single='x'\r\n"
             "half=\"open\r\n"
             "empty=\r\n"
             "name=second key of the same name\r\n"
             "; note=not a key\r\n"
             "[ other ]\r\n"
             "key=in other\r\n"
             "[usingsetting]\r\n"
             "late=second section of the same name\r\n");
  EXPECT_EQ(Read("usingsetting", "name"), "Kalimo摄像头");
  EXPECT_EQ(Read("usingsetting", "quoted"), " padded ");
  EXPECT_EQ(Read("usingsetting", "single"), "x");
  EXPECT_EQ(Read("usingsetting", "half"), "\"open");
  EXPECT_EQ(Read("usingsetting", "empty"), "");
  EXPECT_EQ(Read("OTHER", "key"), "in other");
  EXPECT_EQ(Read("usingsetting", "late"), "<default>");  // the first section of a name wins
  EXPECT_EQ(Read("usingsetting", "top"), "<default>");
  EXPECT_EQ(Read("usingsetting", "note"), "<default>");
  EXPECT_EQ(Read("missing", "name"), "<default>");
  EXPECT_EQ(ReadProfileString((folder / "none.ini").string(), "a", "b", "dflt"), "dflt");
}

TEST_F(ProfileFileTest, IntegersParseLikeTheProfileFunctions) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"60", 60},   {"  -1", -1}, {"+5", 5},        {"7 minutes", 7}, {"abc", 0},
      {"0x10", 0},  {"-", 0},     {"\t 12\t", 12},  {"4294967297", 1}, {"2147483648", -2147483647 - 1},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseProfileInt(text), expected) << text;

  WriteBytes(path, "[s]\nempty=\nblank=   \nvalue=3\n");
  EXPECT_EQ(ReadProfileInt(path, "s", "empty", 16), 16);
  EXPECT_EQ(ReadProfileInt(path, "s", "blank", 16), 16);
  EXPECT_EQ(ReadProfileInt(path, "s", "value", 16), 3);
  EXPECT_EQ(ReadProfileInt(path, "s", "missing", -1), -1);
}

TEST_F(ProfileFileTest, WritingCreatesFileSectionAndKey) {
  ASSERT_TRUE(WriteProfileString(path, "usingsetting", "movieresolution", "0"));
  ASSERT_TRUE(WriteProfileString(path, "usingsetting", "resourcespath", "/media/视频"));
  EXPECT_EQ(ReadBytes(path), "[usingsetting]\nmovieresolution=0\nresourcespath=/media/视频\n");
}

TEST_F(ProfileFileTest, WritingChangesOnlyTheKeyItNames) {
  const std::string before =
      "; kept comment\r\n[oem]\r\ncompanyname=Harbeck\r\n\r\n[UsingSetting]\r\nName=Kalimo摄像头\r\n"
      "Language = 3\r\n\r\n[defaultsetting]\r\nlanguage=1\r\n";
  WriteBytes(path, before);
  ASSERT_TRUE(WriteProfileString(path, "usingsetting", "language", "-1"));
  ASSERT_TRUE(WriteProfileString(path, "usingsetting", "moviesizemax", "16"));
  ASSERT_TRUE(WriteProfileString(path, "extra", "k", "v"));
  EXPECT_EQ(ReadBytes(path),
            "; kept comment\r\n[oem]\r\ncompanyname=Harbeck\r\n\r\n[UsingSetting]\r\nName=Kalimo摄像头\r\n"
            "Language =-1\r\nmoviesizemax=16\r\n\r\n[defaultsetting]\r\nlanguage=1\r\n\r\n[extra]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, ValuesComeBackAsWritten) {
  for (const std::string value : {" leading and trailing ", "\"quoted\"", "'single'", "a=b;c#d", "", "\"", "\\\\"}) {
    ASSERT_TRUE(WriteProfileString(path, "s", "k", value));
    EXPECT_EQ(ReadProfileString(path, "s", "k", "<default>"), value);
  }
}

TEST_F(ProfileFileTest, RefusedWritesLeaveTheFileAlone) {
  WriteBytes(path, "[s]\nk=old\n");
  EXPECT_FALSE(WriteProfileString(path, "s", "k", "two\nlines"));
  EXPECT_FALSE(WriteProfileString(path, "s", "k=x", "v"));
  EXPECT_EQ(ReadBytes(path), "[s]\nk=old\n");

  // A folder where the file should be, and a missing folder: nothing is written, nothing is left.
  fs::create_directory(folder / "dir.ini");
  EXPECT_FALSE(WriteProfileString((folder / "dir.ini").string(), "s", "k", "v"));
  EXPECT_TRUE(fs::is_directory(folder / "dir.ini"));
  EXPECT_FALSE(WriteProfileString((folder / "gone" / "config.ini").string(), "s", "k", "v"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 2);
}

TEST_F(ProfileFileTest, WritesThroughASymbolicLink) {
  WriteBytes(folder / "real.ini", "[s]\nk=old\n");
  fs::create_symlink(folder / "real.ini", path);
  ASSERT_TRUE(WriteProfileString(path, "s", "k", "new"));
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(ReadBytes(folder / "real.ini"), "[s]\nk=new\n");
}

}  // namespace
}  // namespace kalimo
