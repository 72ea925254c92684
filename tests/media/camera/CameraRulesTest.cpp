#include <gtest/gtest.h>

#include "media/camera/CameraFormats.h"
#include "media/camera/CameraList.h"

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

struct SizeCase {
  FrameSize largest;
  RequestedSizeOffered offered;
  FrameSize chosen;
};

TEST(CameraFormatsTest, RequestedSizeUnlessTheCameraIsSmallerOrOfAnotherShape) {
  const FrameSize requested{640, 480};
  const SizeCase cases[] = {
      {{320, 240}, RequestedSizeOffered::No, {320, 240}},    // smaller: its own size
      {{800, 400}, RequestedSizeOffered::No, {800, 400}},    // too short
      {{640, 360}, RequestedSizeOffered::No, {640, 360}},    // a small 16:9 camera
      {{640, 480}, RequestedSizeOffered::Yes, {640, 480}},
      {{1600, 1200}, RequestedSizeOffered::No, {640, 480}},  // 4:3, scaled down
      {{1366, 1024}, RequestedSizeOffered::No, {640, 480}},  // 4:3 within 1 %
      {{1280, 720}, RequestedSizeOffered::Yes, {640, 480}},  // a 16:9 camera that offers 640 × 480
      // Of another shape without 640 × 480: fitted into it with the camera's shape.
      {{1280, 720}, RequestedSizeOffered::No, {640, 360}},
      {{1920, 1080}, RequestedSizeOffered::No, {640, 360}},
      {{1280, 1024}, RequestedSizeOffered::No, {600, 480}},  // 5:4
      {{720, 1280}, RequestedSizeOffered::No, {270, 480}},   // upright
      {{2560, 1080}, RequestedSizeOffered::No, {640, 270}},
  };
  for (const SizeCase& c : cases) {
    const FrameSize chosen = ChooseCaptureSize(c.largest, requested, c.offered);
    EXPECT_EQ(chosen, c.chosen) << c.largest.width << "x" << c.largest.height << " gave " << chosen.width << "x"
                                << chosen.height;
  }
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
