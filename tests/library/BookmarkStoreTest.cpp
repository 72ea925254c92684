#include "library/BookmarkStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// "actionAndMovie.dat" decoded by iconv, not by the list files' own code.
std::string ReadWithIconv(const std::filesystem::path& path) {
  const std::string command = "iconv -f GB18030 -t UTF-8 '" + path.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string text;
  char buffer[256];
  while (std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, count);
  EXPECT_EQ(pclose(pipe), 0);
  return text;
}

class BookmarkStoreTest : public ::testing::Test {
 protected:
  BookmarkStoreTest() { setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1); }
  ~BookmarkStoreTest() override { unsetenv("KALIMO_PROGRAM_DIR"); }
  std::filesystem::path File() const { return program / BookmarkStore::kFileName; }

  test::TempDir program;
};

TEST_F(BookmarkStoreTest, TwoBookmarksOfOneVideoMakeAKeyLineAndATextLine) {
  BookmarkStore store;
  store.Load();
  EXPECT_TRUE(store.Lines().empty());  // no file yet
  const std::string key = BookmarkStore::Key("G", "V");
  EXPECT_EQ(store.Store(key, {{"开场", "00:00:05"}, {"挥手", "00:01:10"}}), BookmarkStore::StoreResult::kStored);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ReadWithIconv(File()), "G&V\r\n开场-00:00:05\\挥手-00:01:10");

  BookmarkStore again;
  again.Load();
  EXPECT_EQ(again.Rows(key), (std::vector<Bookmark>{{"开场", "00:00:05"}, {"挥手", "00:01:10"}}));
  EXPECT_TRUE(again.Rows(BookmarkStore::Key("H", "V")).empty());  // the same video in another group
}

TEST_F(BookmarkStoreTest, ChangingAListRewritesOnlyItsTextLineAndANewOneIsAppended) {
  WriteBytes(File(), "A&/v/a.avi\r\nx-00:00:01\r\nB&/v/b.avi\r\ny-00:00:02");
  BookmarkStore store;
  store.Load();
  store.Store("A&/v/a.avi", {{"x", "00:00:03"}});
  store.Store("C&/v/c.avi", {{"z", "00:00:04"}});
  EXPECT_EQ(store.Lines(), (std::vector<std::string>{"A&/v/a.avi", "x-00:00:03", "B&/v/b.avi", "y-00:00:02",
                                                     "C&/v/c.avi", "z-00:00:04"}));
}

TEST_F(BookmarkStoreTest, AnEmptiedListLeavesNoPairSoItsBookmarksDoNotComeBack) {
  WriteBytes(File(), "A&/v/a.avi\r\nx-00:00:01\r\nB&/v/b.avi\r\ny-00:00:02\r\nA&/v/a.avi\r\nw-00:00:09");
  BookmarkStore store;
  store.Load();
  EXPECT_EQ(store.Store("A&/v/a.avi", {}), BookmarkStore::StoreResult::kRemoved);
  ASSERT_TRUE(store.Save());
  EXPECT_EQ(ReadBytes(File()), "B&/v/b.avi\r\ny-00:00:02");
  BookmarkStore again;
  again.Load();
  EXPECT_TRUE(again.Rows("A&/v/a.avi").empty());
  EXPECT_EQ(again.Rows("B&/v/b.avi"), (std::vector<Bookmark>{{"y", "00:00:02"}}));
}

TEST_F(BookmarkStoreTest, OverLongPairIsRefusedAndTheFileStaysByteIdentical) {
  WriteBytes(File(), "A&/v/a.avi\r\nx-00:00:01\r\nB&/v/b.avi\r\ny-00:00:02");
  const std::string before = ReadBytes(File());
  // 2 bytes a character in GB18030: 139 characters of name and time pass the 260-character test
  // but not the 259-byte line limit.
  const std::string longName = [] {
    std::string name;
    for (int i = 0; i < 130; ++i) name += "动";
    return name;
  }();
  struct Case {
    std::string key;
    std::vector<Bookmark> rows;
  };
  const std::vector<Case> cases = {
      {"A&/v/a.avi", {{longName, "00:00:01"}}},                       // text over 259 bytes
      {"A&/v/a.avi", std::vector<Bookmark>(20, {"abcd", "00:00:01"})},  // 279 characters
      {"A&/" + std::string(300, 'p'), {{"x", "00:00:01"}}},             // key over 259 bytes
  };
  for (const Case& c : cases) {
    BookmarkStore store;
    store.Load();
    const auto lines = store.Lines();
    EXPECT_EQ(store.Store(c.key, c.rows), BookmarkStore::StoreResult::kTooLong);
    EXPECT_EQ(store.Lines(), lines);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadBytes(File()), before);
  }
  // 259 characters pass.
  BookmarkStore store;
  store.Load();
  EXPECT_EQ(store.Store("A&/v/a.avi", {{std::string(250, 'n'), "00:00:01"}}), BookmarkStore::StoreResult::kStored);
}

TEST(BookmarkText, PiecesWithoutNameTimeOrDashAreSkipped) {
  EXPECT_EQ(ParseBookmarkText("a-1\\-2\\b-\\c\\\\d-0-1"),
            (std::vector<Bookmark>{{"a", "1"}, {"d", "0-1"}}));
  EXPECT_TRUE(ParseBookmarkText("").empty());
  EXPECT_EQ(JoinBookmarkRows({{"a", "1"}, {"b", "2"}}), "a-1\\b-2");
  EXPECT_EQ(JoinBookmarkRows({}), "");
}

TEST(BookmarkTime, ParsesByColonsAndCapsHugeParts) {
  struct Case {
    std::string text;
    bool ok;
    std::int64_t total;
  };
  const std::vector<Case> cases = {
      {"00:01:10", true, 70},
      {"1:2:3", true, 3723},
      {"12:30", false, 0},          // no seconds
      {":01:10", false, 0},         // leading colon
      {"01::10", false, 0},         // the minutes' colon may not start the rest
      {"01:10:", false, 0},         // empty seconds
      {"", false, 0},
      {"1a:2b:3c", true, 3723},     // reading stops at the first non-digit
      {"x:y:z", true, 0},           // no digits read as 0
      {"99999999999999999999:99999999999999999999:99999999999999999999", true,
       kMaxTimePart * 3600 + kMaxTimePart * 60 + kMaxTimePart},
      {"100:00:00", true, 360000},
  };
  for (const Case& c : cases) {
    const std::optional<BookmarkTime> time = ParseBookmarkTime(c.text);
    EXPECT_EQ(time.has_value(), c.ok) << c.text;
    if (time) {
      EXPECT_EQ(time->TotalSeconds(), c.total) << c.text;
    }
  }
}

TEST(BookmarkTime, FormatsWholeSecondsOfHundredNanosecondUnits) {
  EXPECT_EQ(FormatBookmarkTime(MediaTime(0)), "00:00:00");
  EXPECT_EQ(FormatBookmarkTime(MediaTime(709'999'999)), "00:01:10");
  EXPECT_EQ(FormatBookmarkTime(std::chrono::seconds(3723)), "01:02:03");
  EXPECT_EQ(FormatBookmarkTime(std::chrono::hours(100) + MediaTime(5)), "100:00:00");
}

TEST(BookmarkName, DashBackslashAndEmptyAreRefused) {
  EXPECT_EQ(BookmarkNameProblem("开-场"), "动作名称不能包含-字符，谢谢");
  EXPECT_EQ(BookmarkNameProblem("开\\场"), "动作名称不能包含\\字符，谢谢");
  EXPECT_EQ(BookmarkNameProblem(""), "动作名称不能为空");
  EXPECT_EQ(BookmarkNameProblem("   "), std::nullopt);
  EXPECT_EQ(BookmarkNameProblem("开场"), std::nullopt);
}

TEST(BookmarkExport, RoundTripsAndNeverReplacesAFile) {
  test::TempDir folder;
  EXPECT_EQ(ExportFilePath("/d/abc"), "/d/abc.txt");
  EXPECT_EQ(ExportFilePath("/d/abc.txt"), "/d/abc.txt");
  EXPECT_EQ(ExportFilePath("/d/abc.TXT"), "/d/abc.TXT.txt");
  EXPECT_EQ(ExportFilePath("/d/a.txt.b"), "/d/a.txt.b.txt");

  const std::string text = "开场-00:00:05\\挥手-00:01:10";
  const std::string path = ExportFilePath((folder / "actions").string());
  ASSERT_TRUE(ExportBookmarkText(text, path));
  EXPECT_EQ(ReadWithIconv(path).substr(0, text.size()), text);
  EXPECT_EQ(ReadBytes(path).back(), '\0');
  EXPECT_EQ(ImportBookmarkText(path), text);

  const std::string before = ReadBytes(path);
  EXPECT_FALSE(ExportBookmarkText("x-00:00:01", path));
  EXPECT_EQ(ReadBytes(path), before);

  EXPECT_EQ(ImportBookmarkText((folder / "gone.txt").string()), std::nullopt);
  WriteBytes(folder / "zero.txt", std::string("\0a-1", 4));
  EXPECT_EQ(ImportBookmarkText((folder / "zero.txt").string()), std::nullopt);
}

}  // namespace
}  // namespace kalimo
