#include "platform/RegistryStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "tests/support/SectionTestSupport.h"

namespace kalimo::platform {
namespace {

constexpr auto kRoot = RegistryRoot::kClassesRoot;

std::string FileText() {
  std::ifstream file(RegistryStore::FilePath(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(RegistryStore, KeepsTextsAndNumbersAcrossReadsOfTheFile) {
  test::UserFolders folders;
  int error = 0;
  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, kCameraInstanceKey, error));
  ASSERT_TRUE(RegistryStore::CreateKey(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", error));
  const std::string awkward = "Kalimo摄像头 \"quoted\" back\\slash\nnext line [x] =y";
  ASSERT_TRUE(RegistryStore::WriteString(kRoot, kCameraInstanceKey, kFriendlyNameValue, awkward, error));
  ASSERT_TRUE(RegistryStore::WriteString(kRoot, kCameraInstanceKey, "", "default value", error));
  ASSERT_TRUE(RegistryStore::WriteDword(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", "display_status", 0, error));

  EXPECT_EQ(RegistryStore::ReadString(kRoot, kCameraInstanceKey, kFriendlyNameValue, error), awkward);
  EXPECT_EQ(RegistryStore::ReadString(kRoot, kCameraInstanceKey, "", error), "default value");
  EXPECT_EQ(RegistryStore::ReadDword(RegistryRoot::kCurrentUser, "software\\gnu\\xvid", "DISPLAY_STATUS", error), 0u);
  // The two roots are different places.
  EXPECT_FALSE(RegistryStore::KeyExists(RegistryRoot::kCurrentUser, kCameraInstanceKey, error));
  EXPECT_NE(FileText().find("[HKEY_CLASSES_ROOT\\CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\Virtual Camera]"),
            std::string::npos);

  // Rewriting replaces the value instead of adding a second one.
  ASSERT_TRUE(RegistryStore::WriteString(kRoot, kCameraInstanceKey, "friendlyname", "My Cam", error));
  EXPECT_EQ(RegistryStore::ReadString(kRoot, kCameraInstanceKey, kFriendlyNameValue, error), "My Cam");
  EXPECT_EQ(FileText().find(awkward), std::string::npos);
}

TEST(RegistryStore, VolatileEntriesLiveInTheSessionsRuntimeFolderApart) {
  test::UserFolders folders;
  constexpr auto kVolatile = RegistryLifetime::kVolatile;
  EXPECT_EQ(RegistryStore::FilePath(kVolatile), (folders.Dir() / "runtime" / "kalimo" / "registry.reg").string());
  int error = 0;
  ASSERT_TRUE(RegistryStore::CreateKey(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", error, kVolatile));
  ASSERT_TRUE(RegistryStore::WriteDword(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", "display_status", 0, error,
                                        kVolatile));
  EXPECT_EQ(RegistryStore::ReadDword(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", "display_status", error,
                                     kVolatile),
            0u);
  // The user's lasting store knows nothing of it.
  EXPECT_FALSE(RegistryStore::KeyExists(RegistryRoot::kCurrentUser, "Software\\GNU\\XviD", error));
  EXPECT_FALSE(std::filesystem::exists(RegistryStore::FilePath()));
  EXPECT_EQ(std::filesystem::status(folders.Dir() / "runtime" / "kalimo").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
}

TEST(RegistryStore, ValuesNeedAnExistingKeyAndDeletingTakesTheSubkeys) {
  test::UserFolders folders;
  int error = 0;
  EXPECT_FALSE(RegistryStore::WriteString(kRoot, "CLSID\\{x}", "a", "b", error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(RegistryStore::ReadString(kRoot, "CLSID\\{x}", "a", error));
  EXPECT_EQ(error, ENOENT);

  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, "CLSID\\{x}", error));
  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, "CLSID\\{x}\\InprocServer32", error));
  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, "CLSID\\{x}y", error));  // a sibling, not a subkey
  ASSERT_TRUE(RegistryStore::WriteString(kRoot, "CLSID\\{x}", "a", "b", error));
  EXPECT_FALSE(RegistryStore::ReadDword(kRoot, "CLSID\\{x}", "a", error));  // a text is not a number
  EXPECT_FALSE(RegistryStore::ReadString(kRoot, "CLSID\\{x}", "missing", error));

  ASSERT_TRUE(RegistryStore::DeleteKey(kRoot, "clsid\\{X}", error));
  EXPECT_FALSE(RegistryStore::KeyExists(kRoot, "CLSID\\{x}", error));
  EXPECT_FALSE(RegistryStore::KeyExists(kRoot, "CLSID\\{x}\\InprocServer32", error));
  EXPECT_TRUE(RegistryStore::KeyExists(kRoot, "CLSID\\{x}y", error));
  EXPECT_TRUE(RegistryStore::DeleteKey(kRoot, "CLSID\\{x}", error));  // already gone
}

// Damaged lines (here one before the first key and two in the camera's key) are skipped and
// reported with their line numbers; the entries around them are found, registration rewrites its
// own key, and every save writes the damaged lines back as they were.
TEST(RegistryStore, DamagedLinesAreSkippedReportedAndKept) {
  test::UserFolders folders;
  std::filesystem::create_directories(std::filesystem::path(RegistryStore::FilePath()).parent_path());
  const std::string camera = std::string("[HKEY_CLASSES_ROOT\\") + kCameraInstanceKey + "]";
  const std::string damaged = "garbage \xFF\x01 before any key\n" + camera + "\n" +
                              "\"FriendlyName\"=\"unterminated\n\"FriendlyName\"=\"Kalimo摄像头\"\r\n[broken\n";
  std::ofstream(RegistryStore::FilePath(), std::ios::binary) << damaged;
  int error = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RegistryStore::ReadString(kRoot, kCameraInstanceKey, kFriendlyNameValue, error), "Kalimo摄像头");
  const std::string report = testing::internal::GetCapturedStderr();
  for (const char* line : {"line 1 ", "line 3 ", "line 5 "}) EXPECT_NE(report.find(line), std::string::npos) << report;
  EXPECT_EQ(report.find("line 4 "), std::string::npos) << report;

  ASSERT_TRUE(RegistryStore::WriteString(kRoot, kCameraInstanceKey, kFriendlyNameValue, "Other name", error)) << error;
  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, "Other", error));
  EXPECT_EQ(RegistryStore::ReadString(kRoot, kCameraInstanceKey, kFriendlyNameValue, error), "Other name");
  const std::string text = FileText();
  for (const std::string& line : {std::string("garbage \xFF\x01 before any key\n"), std::string("\"FriendlyName\"=\"unterminated\n"),
                                 std::string("[broken\n")}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  // Deleting the key keeps the damaged lines that stood in it.
  ASSERT_TRUE(RegistryStore::DeleteKey(kRoot, kCameraInstanceKey, error));
  EXPECT_FALSE(RegistryStore::KeyExists(kRoot, kCameraInstanceKey, error));
  EXPECT_NE(FileText().find("\"FriendlyName\"=\"unterminated\n"), std::string::npos);
}

TEST(RegistryStore, WritersInParallelLoseNothing) {
  test::UserFolders folders;
  int error = 0;
  ASSERT_TRUE(RegistryStore::CreateKey(kRoot, "K", error));
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 20; ++i) {
        int code = 0;
        RegistryStore::WriteDword(kRoot, "K", std::to_string(t) + "-" + std::to_string(i), static_cast<std::uint32_t>(i), code);
      }
    });
  }
  for (auto& writer : writers) writer.join();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(RegistryStore::ReadDword(kRoot, "K", std::to_string(t) + "-" + std::to_string(i), error),
                static_cast<std::uint32_t>(i));
    }
  }
}

}  // namespace
}  // namespace kalimo::platform
