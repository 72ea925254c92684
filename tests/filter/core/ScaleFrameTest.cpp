#include "filter/core/ScaleFrame.h"

#include <gtest/gtest.h>

#include "tests/support/SectionTestSupport.h"

namespace kalimo {
namespace {

// The pixel (x, y), y from the top, of a bottom-up DIB.
std::vector<unsigned char> Pixel(const std::vector<unsigned char>& dib, int width, int height, int x, int y) {
  const auto offset = static_cast<std::size_t>(DibStride(width) * (height - 1 - y) + x * 3);
  return {dib[offset], dib[offset + 1], dib[offset + 2]};
}

// The whole of `bits` as a bottom-up DIB of width x height.
FrameView Dib(const std::vector<unsigned char>& bits, int width, int height) {
  return DibFrame(bits.data(), width, height, static_cast<std::int64_t>(bits.size()));
}

struct ScaleCase {
  int srcWidth, srcHeight, dstWidth, dstHeight;
};

TEST(ScaleFrame, EveryPixelComesFromTheNearestSourcePixelUnblended) {
  const ScaleCase cases[] = {{320, 240, 640, 480}, {640, 480, 320, 240}, {3, 2, 7, 5}, {7, 5, 3, 2},
                             {640, 480, 640, 480}, {1, 1, 4, 4},         {5, 1, 5, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcWidth << "x" << c.srcHeight << " -> " << c.dstWidth << "x" << c.dstHeight);
    const auto source = test::PatternFrame(c.srcWidth, c.srcHeight, 7);
    const auto scaled = ScaleFrame(Dib(source, c.srcWidth, c.srcHeight), c.dstWidth, c.dstHeight);
    ASSERT_EQ(scaled.size(), static_cast<std::size_t>(DibStride(c.dstWidth) * c.dstHeight));
    for (int y = 0; y < c.dstHeight; ++y) {
      for (int x = 0; x < c.dstWidth; ++x) {
        // Bottom-up sampling: destination row counted from the bottom maps to the source likewise.
        const int fromBottom = c.dstHeight - 1 - y;
        const int sourceY = c.srcHeight - 1 - fromBottom * c.srcHeight / c.dstHeight;
        const int sourceX = x * c.srcWidth / c.dstWidth;
        ASSERT_EQ(Pixel(scaled, c.dstWidth, c.dstHeight, x, y), Pixel(source, c.srcWidth, c.srcHeight, sourceX, sourceY))
            << x << "," << y;
      }
    }
  }
}

TEST(ScaleFrame, DoublingRepeatsEachPixelTwiceInBothDirections) {
  const auto source = test::PatternFrame(320, 240, 1);
  const auto scaled = ScaleFrame(Dib(source, 320, 240), 640, 480);
  for (int y : {0, 1, 200, 201, 478, 479}) {
    for (int x : {0, 1, 300, 301, 638, 639}) {
      EXPECT_EQ(Pixel(scaled, 640, 480, x, y), Pixel(source, 320, 240, x / 2, y / 2)) << x << "," << y;
    }
  }
}

TEST(ScaleFrame, RefusesEmptyDestinationsAndBlacksOutAMissingSource) {
  const auto source = test::PatternFrame(4, 4);
  EXPECT_TRUE(ScaleFrame(Dib(source, 4, 4), 0, 4).empty());
  EXPECT_TRUE(ScaleFrame(Dib(source, 4, 4), 4, -1).empty());
  for (const auto& [width, height] : {std::pair{0, 4}, std::pair{4, 0}}) {
    const auto scaled = ScaleFrame(Dib(source, width, height), 4, 4);
    ASSERT_EQ(scaled.size(), 48u);
    EXPECT_TRUE(std::all_of(scaled.begin(), scaled.end(), [](unsigned char b) { return b == 0; }));
  }
}

TEST(StretchFrame, WritesTopDownRowsWithTheOutputsStride) {
  const auto source = test::PatternFrame(5, 3, 4);
  const std::int64_t stride = 32;  // wider than the DIB stride of 16
  std::vector<unsigned char> out(static_cast<std::size_t>(stride * 6), 0xAB);
  StretchFrame(Dib(source, 5, 3), {out.data(), 10, 6, stride, RowOrder::kTopDown});
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 10; ++x) {
      const auto offset = static_cast<std::size_t>(stride * y + x * 3);
      const std::vector<unsigned char> pixel(out.begin() + static_cast<std::ptrdiff_t>(offset),
                                             out.begin() + static_cast<std::ptrdiff_t>(offset + 3));
      EXPECT_EQ(pixel, Pixel(source, 5, 3, x / 2, y / 2)) << x << "," << y;
    }
    // The padding behind each row is the caller's and stays untouched.
    EXPECT_EQ(out[static_cast<std::size_t>(stride * y + 30)], 0xAB);
  }
}

// Keeping the shape: the picture fills the largest centred area of its own shape (given here by
// hand), nearest-neighbour within it, and everything around it is black.
TEST(StretchFrame, KeepingTheShapeCentresThePictureAndBlacksOutTheRest) {
  struct FitCase {
    int srcWidth, srcHeight, dstWidth, dstHeight;
    int left, top, width, height;  // the picture's area in the output, rows from the top
  } cases[] = {
      {1280, 720, 640, 480, 0, 60, 640, 360},   // 16:9 into 4:3: bands above and below
      {480, 640, 640, 480, 140, 0, 360, 480},   // portrait: bands left and right
      {320, 240, 640, 480, 0, 0, 640, 480},     // the same shape: a plain stretch
      {640, 360, 640, 480, 0, 60, 640, 360},    // the same width: copied rows
      {16, 9, 8, 7, 0, 1, 8, 5},                // 4.5 rows rounded to 5, the odd band below
      {1000, 1, 4, 4, 0, 1, 4, 1},              // never thinner than one row
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcWidth << "x" << c.srcHeight << " -> " << c.dstWidth << "x" << c.dstHeight);
    const auto source = test::PatternFrame(c.srcWidth, c.srcHeight, 5);
    const auto stride = DibStride(c.dstWidth);
    std::vector<unsigned char> out(static_cast<std::size_t>(stride * c.dstHeight), 0xAB);
    StretchFrame(Dib(source, c.srcWidth, c.srcHeight), {out.data(), c.dstWidth, c.dstHeight, stride, RowOrder::kBottomUp},
                 FrameFit::kKeepAspect);
    for (int y = 0; y < c.dstHeight; ++y) {
      for (int x = 0; x < c.dstWidth; ++x) {
        const bool inside = x >= c.left && x < c.left + c.width && y >= c.top && y < c.top + c.height;
        std::vector<unsigned char> expected(3, 0);
        if (inside) {
          // Rows are sampled from the bottom of the area, as the DIB counts them.
          const int fromBottom = c.top + c.height - 1 - y;
          const int sourceY = c.srcHeight - 1 - fromBottom * c.srcHeight / c.height;
          expected = Pixel(source, c.srcWidth, c.srcHeight, (x - c.left) * c.srcWidth / c.width, sourceY);
        }
        ASSERT_EQ(Pixel(out, c.dstWidth, c.dstHeight, x, y), expected) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace kalimo
