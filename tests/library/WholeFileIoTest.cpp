#include "library/WholeFileIo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/FileBytes.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

TEST(WholeFileIo, ReadsEveryByteIncludingZeros) {
  test::TempDir folder;
  const std::string bytes("a\0b\r\n\xFF", 6);
  WriteBytes(folder / "in.txt", bytes);
  EXPECT_EQ(ReadWholeFile((folder / "in.txt").string()), bytes);
}

TEST(WholeFileIo, ReadFailuresAreLoggedAndAnEmptyFileIsNot) {
  test::TempDir folder;
  test::LogCapture log;
  WriteBytes(folder / "empty.txt", "");
  EXPECT_FALSE(ReadWholeFile((folder / "empty.txt").string()));
  ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile((folder / "pipe").string()));  // returns at once, like an empty file
  EXPECT_TRUE(log.Records().empty());

  EXPECT_FALSE(ReadWholeFile((folder / "missing.txt").string()));
  EXPECT_FALSE(ReadWholeFile(folder.Str()));  // a folder opens but cannot be read
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, "Could not read share memory file error code=" + std::to_string(ENOENT) + "\n");
  EXPECT_EQ(records[0].line, 516);
  EXPECT_EQ(records[1].message, "Could not read data from share memory file error code=" + std::to_string(EISDIR));
  EXPECT_EQ(records[1].line, 498);
  for (const auto& record : records) {
    EXPECT_EQ(record.level, 40000);
    EXPECT_EQ(record.source, "ApplyDataToOstrel");
  }
}

TEST(WholeFileIo, WritesOnlyNewFiles) {
  test::TempDir folder;
  WriteBytes(folder / "old.txt", "keep");
  EXPECT_FALSE(WriteNewFile((folder / "old.txt").string(), "new"));
  EXPECT_FALSE(WriteTextFile("new", (folder / "old.txt").string()));
  EXPECT_EQ(ReadBytes(folder / "old.txt"), "keep");

  EXPECT_TRUE(WriteNewFile((folder / "empty.txt").string(), ""));
  EXPECT_EQ(fs::file_size(folder / "empty.txt"), 0u);
  EXPECT_FALSE(WriteNewFile((folder / "no-such-folder" / "x.txt").string(), "x"));
}

// Text of only Chinese characters needs two bytes per character plus the closing zero; it must
// be written whole, as must text with characters outside GBK.
TEST(WholeFileIo, TextFileIsGb18030WithOneClosingZero) {
  test::TempDir folder;
  ASSERT_TRUE(WriteTextFile("动作", (folder / "a.txt").string()));
  EXPECT_EQ(ReadBytes(folder / "a.txt"), std::string("\xB6\xAF\xD7\xF7\0", 5));
  ASSERT_TRUE(WriteTextFile("1&跳舞🎉", (folder / "b.txt").string()));
  EXPECT_EQ(ReadBytes(folder / "b.txt"), std::string("1&\xCC\xF8\xCE\xE8\x94\x39\xBD\x35\0", 11));
  ASSERT_TRUE(WriteTextFile("", (folder / "c.txt").string()));
  EXPECT_EQ(ReadBytes(folder / "c.txt"), std::string(1, '\0'));
}

}  // namespace
}  // namespace kalimo
