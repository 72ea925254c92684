#include "filter/core/OstrelPin.h"

#include <gtest/gtest.h>

#include "common/ApplyDataToOstrel.h"
#include "tests/support/SectionTestSupport.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

TEST(OstrelPin, StampsAreExactThirtiethsOfASecond) {
  EXPECT_EQ(OstrelPin::FrameStart(0), 0);
  EXPECT_EQ(OstrelPin::FrameStart(9), 300000000);  // the tenth buffer at 9/30 s
  EXPECT_EQ(OstrelPin::FrameStart(30), 1000000000);
  EXPECT_EQ(OstrelPin::FrameStart(30 * 3600 * 24), 3600LL * 24 * 1000000000);  // no drift after a day
  std::int64_t sum = 0;
  for (int n = 0; n < 90; ++n) {
    EXPECT_EQ(sum, OstrelPin::FrameStart(n));
    sum += OstrelPin::FrameLength(n);
  }
}

class OstrelPinTest : public ::testing::Test {
 protected:
  test::UserFolders folders;  // also an empty runtime folder: the main program is not found running
  test::TestSection section;
  FrameReceiver receiver;
  OstrelPin pin;
  std::vector<unsigned char> buffer = std::vector<unsigned char>(640 * 480 * 3, 0xAB);

  OstrelPin::Stamp Fill() {
    return pin.FillBuffer(&receiver, FrameTarget{buffer.data(), 640, 480, 1920, RowOrder::kTopDown}, buffer.size());
  }
};

TEST_F(OstrelPinTest, SendsBlackUntilTheFirstPictureThenThePictureUpright) {
  receiver.Poll();  // no section yet
  auto stamp = Fill();
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](unsigned char b) { return b == 0; }));
  EXPECT_EQ(stamp.start, 0);
  EXPECT_EQ(stamp.duration, OstrelPin::FrameLength(0));

  FrameSectionHandle cell;
  const auto bits = test::PatternFrame(640, 480, 3);
  ASSERT_TRUE(WriteFrameToSection(bits.data(), cell, static_cast<std::int32_t>(bits.size()), 640, 480));
  receiver.Poll();
  stamp = Fill();
  EXPECT_EQ(buffer, test::TopDown(bits, 640, 480));
  EXPECT_EQ(stamp.start, OstrelPin::FrameStart(1));
  EXPECT_EQ(pin.FrameNumber(), 2);
  CloseFrameSection(cell);
}

}  // namespace
}  // namespace kalimo
