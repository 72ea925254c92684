#include "library/ListFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/TextEncoding.h"
#include "tests/support/FileBytes.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;

constexpr int kDebug = 10000;
constexpr int kError = 40000;

using test::ReadBytes;
using test::WriteBytes;

std::string Gbk(const std::string& utf8) { return platform::Utf8ToGb18030(utf8).value(); }

// Runs iconv on a file and returns what it printed; the conversion is done by another program
// than ours, so it checks what we write rather than repeating how we write it.
std::string Iconv(const std::string& from, const std::string& to, const fs::path& input) {
  const std::string command = "iconv -f " + from + " -t " + to + " '" + input.string() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "<iconv failed>";
  std::string output;
  char buffer[4096];
  while (std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  return ::pclose(pipe) == 0 ? output : "<iconv failed>";
}

class ListFileTest : public ::testing::Test {
 protected:
  ListFileTest() { setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1); }
  ~ListFileTest() override { unsetenv("KALIMO_PROGRAM_DIR"); }

  bool LogHas(int level, const std::string& message) const {
    for (const auto& record : log.Records()) {
      if (record.level == level && record.message == message && record.source == "ListFile") return true;
    }
    return false;
  }

  std::vector<std::string> Load(const std::string& name = "chapters.dat") {
    std::vector<std::string> lines;
    EXPECT_TRUE(ListFile::LoadList(name, lines));
    return lines;
  }

  test::TempDir program;
  test::LogCapture log;
};

TEST_F(ListFileTest, WritesEntriesSeparatedByCrLfWithoutOneAfterTheLast) {
  const std::vector<std::string> lines = {"/clips/a.avi", "聊天&/clips/b.avi", "c"};
  ASSERT_TRUE(ListFile::SaveList(lines, "chapters.dat"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), Gbk("/clips/a.avi\r\n聊天&/clips/b.avi\r\nc"));
  EXPECT_EQ(Load(), lines);
  EXPECT_FALSE(fs::exists(program / "tmp_chapters.dat"));
}

TEST_F(ListFileTest, EmptyListIsAZeroLengthFileThatReadsAsEmpty) {
  ASSERT_TRUE(ListFile::SaveList({}, "images.dat"));
  EXPECT_EQ(fs::file_size(program / "images.dat"), 0u);
  std::vector<std::string> lines = {"stale"};
  EXPECT_TRUE(ListFile::ReadListFile("images.dat", lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(ListFileTest, MissingFileFailsAndAppendsNothing) {
  std::vector<std::string> narrow = {"stale"};
  EXPECT_FALSE(ListFile::ReadListFile("images.dat", narrow));
  EXPECT_TRUE(narrow.empty());
  EXPECT_TRUE(LogHas(kDebug, "Failure to open lanuage file"));

  std::vector<std::string> lines = {"kept"};
  EXPECT_FALSE(ListFile::LoadList("images.dat", lines));
  EXPECT_EQ(lines, std::vector<std::string>{"kept"});
}

TEST_F(ListFileTest, PipeInThePlaceOfAListIsNotWaitedFor) {
  ASSERT_EQ(::mkfifo((program / "images.dat").c_str(), 0600), 0);
  std::vector<std::string> lines;
  EXPECT_FALSE(ListFile::LoadList("images.dat", lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(ListFileTest, LineEndsAndBlankLinesReadTheSame) {
  const std::string a = Gbk("甲.avi");
  for (const std::string& content : {a + "\r\nb", a + "\nb\n", "\r\n\r\n" + a + "\r\n\r\n\nb\r\n\r\n", a + "\nb\r"}) {
    WriteBytes(program / "images.dat", content);
    EXPECT_EQ(Load("images.dat"), (std::vector<std::string>{"甲.avi", "b"})) << content;
  }
}

TEST_F(ListFileTest, SampleVideoLineReadsAsItsFullPath) {
  const std::string sample = ListFile::kSampleVideoEntry;
  WriteBytes(program / "chapters.dat",
             Gbk(sample + "\r\n " + sample + "\r\nother/" + sample + "\r\n" + sample + "x"));
  EXPECT_EQ(Load(), (std::vector<std::string>{program.Str() + "/" + sample, " " + sample, "other/" + sample,
                                              sample + "x"}));
}

TEST_F(ListFileTest, EntriesOverTheByteLimitOfTheEncodedFormAreLeftOutAndLogged) {
  // 129 Chinese characters take 258 bytes in the file (387 in UTF-8).
  std::string longest;
  for (int i = 0; i < 129; ++i) longest += "视";
  longest += "a";  // 259 bytes: kept
  const std::string tooLong = longest + "b";  // 260 bytes: left out
  ASSERT_TRUE(ListFile::SaveList({"first", longest, tooLong, "last"}, "chapters.dat"));
  EXPECT_EQ(Load(), (std::vector<std::string>{"first", longest, "last"}));

  int dropped = 0;
  for (const auto& record : log.Records()) {
    if (record.level == kError && record.message.find(tooLong) != std::string::npos) ++dropped;
  }
  EXPECT_EQ(dropped, 1);
}

TEST_F(ListFileTest, StaleTemporaryFileIsReplaced) {
  WriteBytes(program / "tmp_chapters.dat", "left over from an interrupted write");
  ASSERT_TRUE(ListFile::SaveList({"new"}, "chapters.dat"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), "new");
  EXPECT_FALSE(fs::exists(program / "tmp_chapters.dat"));
}

// Folders in the way stand in for files that cannot be replaced or deleted (tests may run as
// root, for whom file permissions stop nothing).
TEST_F(ListFileTest, ListThatCannotBeReplacedKeepsItsContentAndLeavesNoTemporaryFile) {
  fs::create_directory(program / "chapters.dat");
  WriteBytes(program / "chapters.dat" / "inside", "old");
  EXPECT_FALSE(ListFile::SaveList({"new"}, "chapters.dat"));
  EXPECT_TRUE(LogHas(kDebug, "failure to delete name of file"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat" / "inside"), "old");
  EXPECT_FALSE(fs::exists(program / "tmp_chapters.dat"));
}

TEST_F(ListFileTest, TemporaryFileThatCannotBeDeletedStopsTheWrite) {
  WriteBytes(program / "chapters.dat", "old");
  fs::create_directory(program / "tmp_chapters.dat");
  EXPECT_FALSE(ListFile::SaveList({"new"}, "chapters.dat"));
  EXPECT_TRUE(LogHas(kDebug, "failure to delete old tmp file"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), "old");
}

TEST_F(ListFileTest, MissingProgramFolderFailsToOpenTheTemporaryFile) {
  setenv("KALIMO_PROGRAM_DIR", (program / "deleted").c_str(), 1);
  EXPECT_FALSE(ListFile::SaveList({"new"}, "chapters.dat"));
  EXPECT_TRUE(LogHas(kDebug, "Failure to open lanuage file"));
}

TEST_F(ListFileTest, CharactersOutsideGbkSurviveASaveAndALoad) {
  const std::vector<std::string> lines = {"/home/민수/비디오/영상.avi", "/clips/🎬 party 🎉.mp4", "/clips/€ ÿ ß.avi",
                                          "/clips/普通话.avi"};
  ASSERT_TRUE(ListFile::SaveList(lines, "chapters.dat"));
  EXPECT_EQ(Load(), lines);
  EXPECT_EQ(Iconv("GB18030", "UTF-8", program / "chapters.dat"),
            lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n" + lines[3]);
}

TEST_F(ListFileTest, GbkTextIsWrittenByteForByteAsGbk) {
  const std::string text = "D:/视频/聊天（一）.avi\r\n我的视频分组&/媒体/《示例》、说明—１２３.wmv\r\nplain ascii";
  WriteBytes(program / "expected.txt", text);
  ASSERT_TRUE(ListFile::SaveList({"D:/视频/聊天（一）.avi", "我的视频分组&/媒体/《示例》、说明—１２３.wmv", "plain ascii"},
                                 "chapters.dat"));
  const std::string gbk = Iconv("UTF-8", "GBK", program / "expected.txt");
  ASSERT_NE(gbk, "<iconv failed>");
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), gbk);
}

// Lines that are not GB18030 text (invalid sequences, a NUL) are read, logged with their line
// number and written back byte for byte; a split at "&" and a join, as the video groups do, keeps them.
TEST_F(ListFileTest, UndecodableLinesSurviveALoadAndASaveByteForByte) {
  const std::string badBytes = "\x80\xFF\xFE";
  const std::string withZero("cut\0after zero", 14);
  const std::string badGroup = "\xC0\xFF组&/bad\x81\x7F.avi";
  std::string content = Gbk("好.avi") + "\r\n" + badBytes + "\r\n";
  content += std::string(200, 'x') + "\r\n" + withZero + "\r\n";
  content += "bad\x81\x7F.avi\r\n" + badGroup;
  WriteBytes(program / "images.dat", content);
  const auto lines = Load("images.dat");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "好.avi");
  EXPECT_EQ(lines[2], std::string(200, 'x'));
  int reported = 0;
  for (const auto& record : log.Records()) {
    if (record.level == kError && record.message.find("List entry") != std::string::npos) ++reported;
  }
  EXPECT_EQ(reported, 4);
  ASSERT_TRUE(ListFile::SaveList(lines, "images.dat"));
  EXPECT_EQ(ReadBytes(program / "images.dat"), content);

  const std::string& group = lines[5];
  const std::size_t amp = group.find('&');
  ASSERT_NE(amp, std::string::npos);
  ASSERT_TRUE(ListFile::SaveList({group.substr(0, amp) + "&" + group.substr(amp + 1)}, "chapters.dat"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), badGroup);
}

TEST_F(ListFileTest, AppendAddsALastLineAndLeavesAnUnreadableListAlone) {
  ASSERT_TRUE(ListFile::AppendToList("chapters.dat", "/movies/录像1.avi"));  // creates the list
  WriteBytes(program / "chapters.dat", ReadBytes(program / "chapters.dat") + "\r\n" + Gbk("组&/a.avi"));
  ASSERT_TRUE(ListFile::AppendToList("chapters.dat", "/movies/录像2.avi"));
  EXPECT_EQ(Load(), (std::vector<std::string>{"/movies/录像1.avi", "组&/a.avi", "/movies/录像2.avi"}));

  fs::create_directory(program / "images.dat");
  EXPECT_FALSE(ListFile::AppendToList("images.dat", "/x.jpg"));
  EXPECT_TRUE(fs::is_directory(program / "images.dat"));
}

// Appending writes the new line's bytes only: a line nothing could decode stays, byte for byte.
TEST_F(ListFileTest, AppendWritesOnlyTheNewLine) {
  const std::string before = Gbk("组&/a.avi") + "\r\n\x80\xFF damaged\r\n" + std::string("zero\0inside", 11);
  WriteBytes(program / "chapters.dat", before);
  ASSERT_TRUE(ListFile::AppendToList("chapters.dat", "/movies/录像2.avi"));
  EXPECT_EQ(ReadBytes(program / "chapters.dat"), before + "\r\n" + Gbk("/movies/录像2.avi"));
  // A list that ends with a line end gets no empty line.
  WriteBytes(program / "images.dat", "/a.jpg\r\n");
  ASSERT_TRUE(ListFile::AppendToList("images.dat", "/b.jpg"));
  EXPECT_EQ(ReadBytes(program / "images.dat"), "/a.jpg\r\n/b.jpg");
  EXPECT_FALSE(ListFile::AppendToList("images.dat", "/two\nlines.jpg"));
  EXPECT_FALSE(ListFile::AppendToList("images.dat", std::string(300, 'y')));
  EXPECT_EQ(ReadBytes(program / "images.dat"), "/a.jpg\r\n/b.jpg");
}

}  // namespace
}  // namespace kalimo
