#include "shell/settings/CameraDeviceEntry.h"

#include <gtest/gtest.h>

#include "platform/RegistryStore.h"
#include "tests/support/SectionTestSupport.h"

namespace kalimo {
namespace {

using platform::RegistryRoot;
using platform::RegistryStore;

TEST(CameraDeviceEntry, FirstCharactersCountsCharactersNotBytes) {
  const struct {
    std::string text;
    std::size_t count;
    std::string expected;
  } cases[] = {
      {"My Cam", 99, "My Cam"},
      {"My Cam", 2, "My"},
      {"摄像头", 2, "摄像"},          // three bytes each
      {"a😀b", 2, "a😀"},             // four bytes
      {"", 5, ""},
      {"abc", 0, ""},
  };
  for (const auto& entry : cases) EXPECT_EQ(FirstCharacters(entry.text, entry.count), entry.expected) << entry.text;
}

TEST(CameraDeviceEntry, NameAndChoicesLiveInTheRegisteredEntryOnly) {
  test::UserFolders folders(false);
  // Not registered: nothing to read, and writing creates nothing.
  EXPECT_FALSE(ReadCameraFriendlyName());
  EXPECT_FALSE(ReadCameraChoice(platform::kLowLatencyValue));
  WriteCameraFriendlyName("My Cam");
  EXPECT_FALSE(WriteCameraChoice(platform::kLowLatencyValue, true));
  int error = 0;
  EXPECT_FALSE(RegistryStore::KeyExists(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, error));

  ASSERT_TRUE(RegistryStore::CreateKey(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, error));
  EXPECT_FALSE(ReadCameraFriendlyName());                         // entry without a name
  EXPECT_EQ(ReadCameraChoice(platform::kLowLatencyValue), false);  // a missing choice is off
  std::string longName;
  for (int i = 0; i < 120; ++i) longName += "镜";
  WriteCameraFriendlyName(longName);
  EXPECT_EQ(ReadCameraFriendlyName(), FirstCharacters(longName, 99));
  EXPECT_EQ(ReadCameraFriendlyName()->size(), 99u * 3);
  EXPECT_TRUE(WriteCameraChoice("KeepAspect", true));
  EXPECT_EQ(RegistryStore::ReadDword(RegistryRoot::kClassesRoot, platform::kCameraInstanceKey, "KeepAspect", error), 1u);
  EXPECT_EQ(ReadCameraChoice("KeepAspect"), true);
}

}  // namespace
}  // namespace kalimo
