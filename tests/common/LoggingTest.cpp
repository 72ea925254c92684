#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Logging.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

TEST(Logging, SourceNameIsTheFileNameWithoutFolderOrExtension) {
  EXPECT_EQ(log::SourceName("/src/common/ApplyDataToOstrel.cpp"), "ApplyDataToOstrel");
  EXPECT_EQ(log::SourceName("media/player/vmrutil.h"), "vmrutil");
  EXPECT_EQ(log::SourceName("SettingParams.cpp"), "SettingParams");
  EXPECT_EQ(log::SourceName(nullptr), "");
}

TEST(Logging, RecordsCarryLevelMessageSourceAndLine) {
  test::LogCapture capture;
  const int line = __LINE__ + 1;
  KALIMO_LOG_INFO("grabber sample width = %d,height=%d,buffersize = %d", 642, 480, 925440);
  KALIMO_LOG_ERROR("plain");
  const auto records = capture.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].level, 20000);
  EXPECT_EQ(records[0].message, "grabber sample width = 642,height=480,buffersize = 925440");
  EXPECT_EQ(records[0].source, "LoggingTest");
  EXPECT_EQ(records[0].line, line);
  EXPECT_EQ(records[1].level, 40000);
}

// The shipped configuration, read from the working folder, writes the log beside the program.
TEST(Logging, ShippedPropertiesWriteTheLogBesideTheProgram) {
  test::TempDir work;
  test::TempDir program;
  std::filesystem::copy_file(std::filesystem::path(KALIMO_SOURCE_DIR) / "resources/log4trovella.properties",
                             work / "log4trovella.properties");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(work.Path());
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);

  ASSERT_TRUE(log::Configure());
  KALIMO_LOG_ERROR("Could not map view of file error code=%d", 12);
  log::Shutdown();
  std::filesystem::current_path(previous);
  unsetenv("KALIMO_PROGRAM_DIR");

  std::ifstream file(program / "kalimo.log");
  ASSERT_TRUE(file.good());
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("ERROR"), std::string::npos);
  EXPECT_NE(text.str().find("LoggingTest:"), std::string::npos);
  EXPECT_NE(text.str().find("Could not map view of file error code=12"), std::string::npos);
}

TEST(Logging, MissingPropertiesFileIsReported) {
  test::TempDir work;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(work.Path());
  EXPECT_FALSE(log::Configure());
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace kalimo
