#include "recording/Snapshot.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <cerrno>
#include <filesystem>

#include "common/FrameSectionLayout.h"
#include "common/Messages.h"
#include "recording/BicubicScaler.h"
#include "tests/recording/AviTestSupport.h"
#include "tests/recording/RecordingTestSupport.h"

namespace kalimo {
namespace {

using test::Bytes;

// A bottom-up frame whose picture is red in its top half and blue in its bottom half, with a
// green column at the left edge (padding bytes 0xAB): flips, swapped channels and shears show.
Bytes TwoColourFrame(int width, int height) {
  const auto stride = static_cast<int>(DibStride(width));
  Bytes frame(static_cast<std::size_t>(stride) * height, 0xAB);
  for (int row = 0; row < height; ++row) {
    const int y = height - 1 - row;
    for (int x = 0; x < width; ++x) {
      unsigned char* bgr = &frame[static_cast<std::size_t>(row) * stride + x * 3];
      const bool green = x < width / 8;
      const bool top = y < height / 2;
      bgr[0] = green ? 0 : (top ? 0 : 255);
      bgr[1] = green ? 255 : 0;
      bgr[2] = green ? 0 : (top ? 255 : 0);
    }
  }
  return frame;
}

bool Near(QColor actual, QColor expected) {
  return std::abs(actual.red() - expected.red()) < 24 && std::abs(actual.green() - expected.green()) < 24 &&
         std::abs(actual.blue() - expected.blue()) < 24;
}

TEST(SnapshotSize, ConfiguredSizeUnlessTheCameraIsSmaller) {
  struct Case {
    FrameSize largest;
    FrameSize frame;
    FrameSize expected;
  };
  const FrameSize configured{640, 480};
  const Case cases[] = {
      {{1600, 1200}, {640, 480}, {640, 480}},   // no camera size known yet
      {{1280, 720}, {1280, 720}, {640, 480}},   // stretched to the configured size
      {{640, 480}, {640, 480}, {640, 480}},
      {{320, 240}, {320, 240}, {320, 240}},
      {{352, 288}, {352, 288}, {352, 288}},
      {{800, 400}, {800, 400}, {800, 400}},     // too low: the largest width, the frame's aspect
      {{320, 240}, {160, 120}, {320, 240}},     // the current frame only gives the ratio
      {{320, 240}, {0, 0}, {320, 240}},         // no usable ratio: the largest size
      {{320, 240}, {4000, 2}, {320, 1}},        // never a picture without rows
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SnapshotSize(configured, c.largest, c.frame), c.expected)
        << c.largest.width << "x" << c.largest.height << " frame " << c.frame.width << "x" << c.frame.height;
  }
}

TEST(SaveSnapshot, WritesAnUprightJpegOfQuality100AtTheWantedSize) {
  struct Case {
    FrameSize frame;
    FrameSize wanted;
  };
  for (const Case c : {Case{{320, 240}, {320, 240}}, Case{{1280, 720}, {640, 480}}, Case{{642, 100}, {642, 100}}}) {
    SCOPED_TRACE(std::to_string(c.frame.width) + "x" + std::to_string(c.frame.height));
    test::TempDir dir;
    const std::string path = dir / "photo.jpg";
    const Bytes frame = TwoColourFrame(c.frame.width, c.frame.height);
    ASSERT_TRUE(SaveSnapshot(frame.data(), static_cast<int>(frame.size()), c.frame.width, c.frame.height, path, c.wanted));
    const auto identify = test::RunCommand("identify -format '%m %w %h %Q' " + test::Quote(path));
    EXPECT_EQ(identify.output, "JPEG " + std::to_string(c.wanted.width) + " " + std::to_string(c.wanted.height) + " 100");
    const QImage photo(QString::fromStdString(path));
    ASSERT_FALSE(photo.isNull());
    const int w = c.wanted.width, h = c.wanted.height;
    EXPECT_TRUE(Near(photo.pixelColor(w * 3 / 4, h / 4), Qt::red));
    EXPECT_TRUE(Near(photo.pixelColor(w * 3 / 4, h * 3 / 4), Qt::blue));
    EXPECT_TRUE(Near(photo.pixelColor(w / 32, h / 4), Qt::green));
    EXPECT_TRUE(Near(photo.pixelColor(w / 32, h * 3 / 4), Qt::green));
  }
}

// Weights that do not sum to one tint flat areas; wrong taps bend a gradient or smear the edges.
TEST(ScaleBicubic24, KeepsFlatColoursAndFollowsAGradient) {
  struct Case {
    int width, height, targetWidth, targetHeight;
  };
  for (const Case c : {Case{1280, 720, 640, 480}, Case{320, 240, 640, 480}, Case{7, 5, 3, 2}, Case{3, 2, 11, 9}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " -> " + std::to_string(c.targetWidth));
    // Blue channel: a horizontal ramp; green: flat; red: a vertical ramp.
    Bytes source(static_cast<std::size_t>(c.width) * c.height * 3);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        unsigned char* pixel = &source[(static_cast<std::size_t>(y) * c.width + x) * 3];
        pixel[0] = static_cast<unsigned char>(255.0 * (x + 0.5) / c.width);
        pixel[1] = 77;
        pixel[2] = static_cast<unsigned char>(255.0 * (y + 0.5) / c.height);
      }
    }
    Bytes target(static_cast<std::size_t>(c.targetWidth) * c.targetHeight * 3);
    ScaleBicubic24(source.data(), c.width, c.height, c.width * 3, target.data(), c.targetWidth, c.targetHeight,
                   c.targetWidth * 3);
    for (int y = 0; y < c.targetHeight; ++y) {
      for (int x = 0; x < c.targetWidth; ++x) {
        const unsigned char* pixel = &target[(static_cast<std::size_t>(y) * c.targetWidth + x) * 3];
        ASSERT_EQ(pixel[1], 77) << x << "," << y;
        // Away from the edges (where the ramp is clamped) a ramp stays the same ramp.
        if (x > 0 && x < c.targetWidth - 1 && c.width > 3) {
          EXPECT_NEAR(pixel[0], 255.0 * (x + 0.5) / c.targetWidth, 3.0) << x << "," << y;
        }
        if (y > 0 && y < c.targetHeight - 1 && c.height > 3) {
          EXPECT_NEAR(pixel[2], 255.0 * (y + 0.5) / c.targetHeight, 3.0) << x << "," << y;
        }
      }
    }
  }
}

TEST(SaveSnapshot, RefusesMissingFramesSilentlyAndReportsFailedSaves) {
  test::TempDir dir;
  test::MessageLog messages;
  const Bytes frame = TwoColourFrame(64, 48);
  const int length = static_cast<int>(frame.size());
  const std::string path = dir / "photo.jpg";
  EXPECT_FALSE(SaveSnapshot(nullptr, length, 64, 48, path, {64, 48}));
  EXPECT_FALSE(SaveSnapshot(frame.data(), 0, 64, 48, path, {64, 48}));
  EXPECT_FALSE(SaveSnapshot(frame.data(), -5, 64, 48, path, {64, 48}));
  EXPECT_FALSE(SaveSnapshot(frame.data(), length - 1, 64, 48, path, {64, 48}));  // shorter than its rows
  EXPECT_FALSE(SaveSnapshot(frame.data(), length, 0, 48, path, {64, 48}));
  EXPECT_FALSE(SaveSnapshot(frame.data(), length, 64, 48, path, {-1, 48}));
  EXPECT_TRUE(messages.Texts().empty());
  EXPECT_FALSE(std::filesystem::exists(path));

  const std::string missing = dir / "missing" / "photo.jpg";
  EXPECT_FALSE(SaveSnapshot(frame.data(), length, 64, 48, missing, {64, 48}));
  ASSERT_EQ(messages.Texts().size(), 1u);
  EXPECT_EQ(messages.Texts()[0], SystemErrorText(ENOENT));
  EXPECT_EQ(messages.Messages()[0].caption, "Corvessa");
}

}  // namespace
}  // namespace kalimo
