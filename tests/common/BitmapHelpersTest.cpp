#include <gtest/gtest.h>

#include <QImage>

#include "common/BitmapHelpers.h"
#include "common/FrameSectionLayout.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

TEST(BitmapHelpers, SmallPictureBecomesBottomUpBgrRows) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(10, 20, 30));   // top-left
  image.setPixel(2, 1, qRgb(40, 50, 60));   // bottom-right
  image.setPixel(1, 0, qRgb(1, 2, 3));
  image.setPixel(0, 1, qRgb(7, 8, 9));
  image.setPixel(2, 0, qRgb(0, 0, 0));
  image.setPixel(1, 1, qRgb(255, 255, 255));

  std::int32_t byteCount = 0;
  const DibBits bits = ImageToDibBits(image, byteCount, 3, 2);
  ASSERT_TRUE(bits);
  EXPECT_EQ(byteCount, 24);
  // First row in memory is the bottom row: (7,8,9) (255,255,255) (40,50,60) as BGR, then padding.
  const unsigned char bottom[12] = {9, 8, 7, 255, 255, 255, 60, 50, 40, 0, 0, 0};
  const unsigned char top[12] = {30, 20, 10, 3, 2, 1, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(bottom, bottom + 12, bits.get()));
  EXPECT_TRUE(std::equal(top, top + 12, bits.get() + 12));
}

TEST(BitmapHelpers, TransparentPixelsArriveWhite) {
  QImage image(4, 4, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  image.setPixel(1, 1, qRgba(255, 0, 0, 255));
  image.setPixel(2, 2, qRgba(0, 0, 255, 128));  // half transparent blue over white

  test::TestSection section;
  FrameSectionHandle cell;
  ASSERT_TRUE(SendImageToSection(image, cell));
  const auto bytes = section.ReadAll();
  const auto pixel = [&](int x, int y) { return bytes.data() + 8 + (3 - y) * 12 + x * 3; };
  EXPECT_EQ(pixel(0, 0)[0], 255);
  EXPECT_EQ(pixel(0, 0)[1], 255);
  EXPECT_EQ(pixel(0, 0)[2], 255);
  EXPECT_EQ(pixel(1, 1)[0], 0);
  EXPECT_EQ(pixel(1, 1)[2], 255);
  EXPECT_EQ(pixel(2, 2)[0], 255);           // blue stays full
  EXPECT_NEAR(pixel(2, 2)[2], 127, 2);      // red and green half way to white
  CloseFrameSection(cell);
}

TEST(BitmapHelpers, FrameHeaderCarriesThePictureSize) {
  test::TestSection section;
  FrameSectionHandle cell;
  QImage image(3, 2, QImage::Format_RGB888);
  image.fill(Qt::gray);
  ASSERT_TRUE(SendImageToSection(image, cell));
  EXPECT_EQ(section.Header().width, 3);
  EXPECT_EQ(section.Header().height, 2);
  EXPECT_EQ(section.Header().byteCount, 24);
  CloseFrameSection(cell);
}

TEST(BitmapHelpers, HugePictureIsConvertedButRefusedBySizeCheck) {
  QImage image(2500, 2500, QImage::Format_RGB32);
  image.fill(Qt::darkGreen);
  std::int32_t byteCount = 0;
  EXPECT_TRUE(ImageToDibBits(image, byteCount, 2500, 2500));
  EXPECT_EQ(byteCount, 18750000);

  test::TestSection section;
  test::LogCapture log;
  FrameSectionHandle cell;
  EXPECT_FALSE(SendImageToSection(image, cell));
  EXPECT_EQ(log.Count("存储图像的空间太小，不能传输图像"), 1);
  EXPECT_FALSE(section.Exists());
}

TEST(BitmapHelpers, NullOrUnexpectedlySizedPicturesGiveNothing) {
  std::int32_t byteCount = -5;
  EXPECT_FALSE(ImageToDibBits(QImage(), byteCount, 0, 0));
  QImage image(8, 6, QImage::Format_RGB32);
  EXPECT_FALSE(ImageToDibBits(image, byteCount, 8, 5));
  EXPECT_FALSE(ImageToDibBits(image, byteCount, 7, 6));
  FrameSectionHandle cell;
  EXPECT_FALSE(SendImageToSection(QImage(), cell));

  int width = -1, height = -1;
  EXPECT_FALSE(BitmapToDibBits(width, height, QImage(), byteCount));
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
}

}  // namespace
}  // namespace kalimo
