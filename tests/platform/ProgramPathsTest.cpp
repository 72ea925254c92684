#include "platform/ProgramPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/TempDir.h"

namespace kalimo::platform {
namespace {

namespace fs = std::filesystem;

// Where each kind of the user's files goes: beside the program, unless the package's marker is in
// the program folder; then in the user's XDG folders, made for the user alone.
TEST(UserFilesDirectory, BesideTheProgramUnlessPackaged) {
  test::TempDir program, config, data, state;
  setenv("KALIMO_PROGRAM_DIR", program.Str().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (config / "nested").c_str(), 1);
  setenv("XDG_DATA_HOME", data.Str().c_str(), 1);
  setenv("XDG_STATE_HOME", state.Str().c_str(), 1);
  const struct {
    UserFiles kind;
    fs::path packaged;
  } cases[] = {{UserFiles::Settings, config / "nested" / "kalimo"},
               {UserFiles::Lists, data / "kalimo"},
               {UserFiles::Log, state / "kalimo"}};

  EXPECT_FALSE(IsPackagedProgram());
  for (const auto& c : cases) EXPECT_EQ(UserFilesDirectory(c.kind), program.Str());
  EXPECT_FALSE(fs::exists(data / "kalimo"));

  std::ofstream(program / kPackagedMarkerFile) << "\n";
  EXPECT_TRUE(IsPackagedProgram());
  for (const auto& c : cases) {
    EXPECT_EQ(UserFilesDirectory(c.kind), c.packaged.string());
    EXPECT_EQ(fs::status(c.packaged).permissions(), fs::perms::owner_all);
  }

  // Something else in the folder's place is not taken for it.
  fs::remove(state / "kalimo");
  std::ofstream(state / "kalimo") << "planted";
  EXPECT_EQ(UserFilesDirectory(UserFiles::Log), "");
  for (const char* name : {"KALIMO_PROGRAM_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) unsetenv(name);
}

TEST(UserFilesDirectory, StateFolderFallsBackToTheHome) {
  test::TempDir home;
  setenv("HOME", home.Str().c_str(), 1);
  setenv("XDG_STATE_HOME", "relative/state", 1);
  EXPECT_EQ(UserStateDirectory(), home.Str() + "/.local/state");
  unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(UserStateDirectory(), home.Str() + "/.local/state");
}

}  // namespace
}  // namespace kalimo::platform
