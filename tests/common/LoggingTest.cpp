#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Logging.h"
#include "platform/ProgramPaths.h"
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

// The shipped configuration, in the program folder, is found from any working folder and writes
// the log beside the program; for a packaged program into the user's state folder.
TEST(Logging, ShippedPropertiesAreFoundFromAnyFolderAndWriteTheUsersLog) {
  for (const bool packaged : {false, true}) {
    test::TempDir work;
    test::TempDir program;
    test::TempDir state;
    std::filesystem::copy_file(std::filesystem::path(KALIMO_SOURCE_DIR) / "resources/log4trovella.properties",
                               program / "log4trovella.properties");
    if (packaged) std::ofstream(program / platform::kPackagedMarkerFile).put('\n');
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(work.Path());
    setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
    setenv("XDG_STATE_HOME", state.Str().c_str(), 1);

    ASSERT_TRUE(log::Configure());
    KALIMO_LOG_ERROR("Could not map view of file error code=%d", 12);
    log::Shutdown();
    std::filesystem::current_path(previous);
    unsetenv("KALIMO_PROGRAM_DIR");
    unsetenv("XDG_STATE_HOME");

    const std::filesystem::path log = packaged ? state / "kalimo" / "kalimo.log" : program / "kalimo.log";
    std::ifstream file(log);
    ASSERT_TRUE(file.good()) << log;
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("ERROR"), std::string::npos);
    EXPECT_NE(text.str().find("LoggingTest:"), std::string::npos);
    EXPECT_NE(text.str().find("Could not map view of file error code=12"), std::string::npos);
    EXPECT_EQ(std::filesystem::exists(work / "kalimo.log"), false);
    if (packaged) {
      EXPECT_FALSE(std::filesystem::exists(program / "kalimo.log"));
      EXPECT_EQ(std::filesystem::status(state / "kalimo").permissions(), std::filesystem::perms::owner_all);
    }
  }
}

TEST(Logging, MissingPropertiesFileIsReported) {
  test::TempDir work;
  test::TempDir program;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(work.Path());
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
  EXPECT_FALSE(log::Configure());
  unsetenv("KALIMO_PROGRAM_DIR");
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace kalimo
