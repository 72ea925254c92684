#include <gtest/gtest.h>

#include "media/CameraFormats.h"
#include "media/CameraList.h"

namespace kalimo::media {
namespace {

TEST(CameraFormatsTest, LargestIsTheLastSizeAtLeastAsLargeInBothDirections) {
  EXPECT_EQ(LargestFormat({}), std::nullopt);
  EXPECT_EQ(LargestFormat({{320, 240}, {160, 120}}), (FrameSize{320, 240}));
  // 1280 × 720 and 1024 × 768 do not dominate each other: the later one is kept only if it is
  // at least as large in both directions as the best so far.
  EXPECT_EQ(LargestFormat({{1280, 720}, {1024, 768}}), (FrameSize{1280, 720}));
  EXPECT_EQ(LargestFormat({{1024, 768}, {1280, 720}}), (FrameSize{1024, 768}));
  EXPECT_EQ(LargestFormat({{640, 480}, {1600, 1200}, {640, 480}}), (FrameSize{1600, 1200}));
}

TEST(CameraFormatsTest, RequestedSizeUnlessTheCameraIsSmaller) {
  const FrameSize requested{640, 480};
  EXPECT_EQ(ChooseCaptureSize({320, 240}, requested), (FrameSize{320, 240}));
  EXPECT_EQ(ChooseCaptureSize({1280, 720}, requested), requested);
  EXPECT_EQ(ChooseCaptureSize({800, 400}, requested), (FrameSize{800, 400}));  // too short
  EXPECT_EQ(ChooseCaptureSize({640, 480}, requested), requested);
}

TEST(CameraListTest, CountsNamedDevicesAndSkipsTheVirtualCameraByNameAndByMark) {
  const std::vector<CameraEntry> devices = {
      {"Desk Cam", false}, {std::nullopt, false}, {"Kalimo摄像头", false}, {"Renamed", true}, {"Wide Cam", false}};
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(ListCameraNames(devices, "Kalimo摄像头", names), 4);
  EXPECT_EQ(names, (std::vector<std::string>{"Desk Cam", "Wide Cam"}));

  // The unnamed device takes position 1 but cannot be bound; the virtual cameras take none.
  EXPECT_EQ(DeviceAtPosition(devices, "Kalimo摄像头", 0), 0u);
  EXPECT_EQ(DeviceAtPosition(devices, "Kalimo摄像头", 1), std::nullopt);
  EXPECT_EQ(DeviceAtPosition(devices, "Kalimo摄像头", 2), 4u);
  EXPECT_EQ(DeviceAtPosition(devices, "Kalimo摄像头", 3), std::nullopt);
  EXPECT_EQ(DeviceAtPosition(devices, "Kalimo摄像头", -1), std::nullopt);
}

TEST(CameraListTest, OnlyTheVirtualCameraGivesOneAndAnEmptyList) {
  std::vector<std::string> names;
  EXPECT_EQ(ListCameraNames({{"Kalimo摄像头", false}}, "Kalimo摄像头", names), 1);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(ListCameraNames({}, "Kalimo摄像头", names), -1);
}

}  // namespace
}  // namespace kalimo::media
