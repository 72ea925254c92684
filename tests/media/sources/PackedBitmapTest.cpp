// The packed bitmap of a screen capture: made from BGRx frames, read back and sent to the section.
#include "media/sources/PackedBitmap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kalimo::media {
namespace {

PackedBitmapHeader HeaderOf(const std::vector<unsigned char>& packed) {
  PackedBitmapHeader header{};
  std::memcpy(&header, packed.data(), sizeof header);
  return header;
}

struct SizeCase {
  int width;
  int height;
  int rowBytes;  // 24-bit rows padded to 4 bytes
};

class PackedBitmapSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PackedBitmapSizes, HeaderBitsAndPaddingFollowTheBitmapLayout) {
  const SizeCase size = GetParam();
  const int stride = size.width * 4 + 8;  // a source stride longer than its row
  std::vector<unsigned char> source(static_cast<std::size_t>(stride) * size.height);
  // Pixel (x, y) = B x, G y, R 200; the fourth byte must never reach the bitmap.
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width; ++x) {
      unsigned char* pixel = &source[static_cast<std::size_t>(y) * stride + x * 4];
      pixel[0] = static_cast<unsigned char>(x);
      pixel[1] = static_cast<unsigned char>(y);
      pixel[2] = 200;
      pixel[3] = 0xEE;
    }
  std::vector<unsigned char> packed(3, 0xAB);  // a previous frame's storage is reused
  ASSERT_TRUE(PackBgrxFrame(source.data(), size.width, size.height, stride, packed));

  const PackedBitmapHeader header = HeaderOf(packed);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, size.width);
  EXPECT_EQ(header.biHeight, size.height);  // positive: bottom-up
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, 0u);
  EXPECT_EQ(header.biClrUsed, 0u);  // no colour table: the bits follow the header
  EXPECT_EQ(header.biSizeImage, static_cast<std::uint32_t>(size.rowBytes * size.height));
  ASSERT_EQ(packed.size(), 40u + size.rowBytes * size.height);

  const unsigned char* bits = packed.data() + 40;
  for (int y = 0; y < size.height; ++y) {
    const unsigned char* row = bits + static_cast<std::size_t>(size.height - 1 - y) * size.rowBytes;
    for (int x = 0; x < size.width; ++x) {
      ASSERT_EQ(row[x * 3 + 0], x) << x << "," << y;
      ASSERT_EQ(row[x * 3 + 1], y) << x << "," << y;
      ASSERT_EQ(row[x * 3 + 2], 200) << x << "," << y;
    }
    for (int pad = size.width * 3; pad < size.rowBytes; ++pad) ASSERT_EQ(row[pad], 0) << "padding of row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PackedBitmapSizes,
                         ::testing::Values(SizeCase{1, 1, 4}, SizeCase{2, 3, 8}, SizeCase{3, 2, 12},
                                           SizeCase{5, 4, 16}, SizeCase{64, 48, 192}));

TEST(PackedBitmap, RefusesWhatIsNoPicture) {
  const std::vector<unsigned char> source(64, 1);
  struct Case {
    const unsigned char* data;
    int width, height, stride;
  };
  for (const Case c : {Case{nullptr, 2, 2, 8}, Case{source.data(), 0, 2, 8}, Case{source.data(), 2, 0, 8},
                       Case{source.data(), -1, 2, 8}, Case{source.data(), 4, 2, 15}}) {
    std::vector<unsigned char> packed(10, 1);
    EXPECT_FALSE(PackBgrxFrame(c.data, c.width, c.height, c.stride, packed));
    EXPECT_TRUE(packed.empty());
  }
}

TEST(PackedBitmap, ReadsBackWhatWasPackedAndRefusesOtherBitmaps) {
  const std::vector<unsigned char> source(5 * 4 * 3, 7);
  std::vector<unsigned char> packed;
  ASSERT_TRUE(PackBgrxFrame(source.data(), 5, 3, 5 * 4, packed));
  const FrameView frame = ReadPackedFrame(packed.data());
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame.bits, packed.data() + sizeof(PackedBitmapHeader));
  EXPECT_EQ(frame.width, 5);
  EXPECT_EQ(frame.height, 3);
  EXPECT_EQ(frame.stride, 16);
  EXPECT_EQ(frame.byteCount, 48);

  struct Case {
    const char* what;
    void (*spoil)(PackedBitmapHeader&);
  };
  for (const Case c : {Case{"32 bits", [](PackedBitmapHeader& h) { h.biBitCount = 32; }},
                       Case{"compressed", [](PackedBitmapHeader& h) { h.biCompression = 1; }},
                       Case{"top-down", [](PackedBitmapHeader& h) { h.biHeight = -3; }},
                       Case{"too wide", [](PackedBitmapHeader& h) { h.biWidth = 65536; }},
                       Case{"short header", [](PackedBitmapHeader& h) { h.biSize = 12; }},
                       Case{"huge colour table", [](PackedBitmapHeader& h) { h.biClrUsed = 257; }}}) {
    std::vector<unsigned char> spoilt = packed;
    PackedBitmapHeader header{};
    std::memcpy(&header, spoilt.data(), sizeof header);
    c.spoil(header);
    std::memcpy(spoilt.data(), &header, sizeof header);
    EXPECT_FALSE(ReadPackedFrame(spoilt.data())) << c.what;
    EXPECT_FALSE(SendPackedFrame(spoilt.data())) << c.what;
  }
  EXPECT_FALSE(ReadPackedFrame(nullptr));
}

}  // namespace
}  // namespace kalimo::media
