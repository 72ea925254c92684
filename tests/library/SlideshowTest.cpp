#include "library/Slideshow.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace kalimo {
namespace {

TEST(SlideshowTest, SecondsPerImageAreReadLikeWtol) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const std::vector<std::pair<std::u16string, std::int32_t>> cases = {
      {u"2", 2},          {u"  5", 5},     {u"\t+7", 7},       {u"12秒", 12},      {u"3.9", 3},
      {u"", 0},           {u"abc", 0},     {u"-4", -4},        {u"- 4", 0},        {u"+-4", 0},
      {u"0", 0},          {u"００５", 0},  {u"2147483647", kMax}, {u"99999999999", kMax}, {u"-2147483648", kMin},
      {u"-99999999999", kMin},
  };
  for (const auto& [text, seconds] : cases) {
    EXPECT_EQ(ReadSecondsPerImage(text), seconds) << std::string(text.begin(), text.end());
  }
}

// The image shown after each tick for a run of seconds-per-image values, through the list's wrap.
std::vector<std::int32_t> ImagesShown(Slideshow& show, const std::vector<std::int32_t>& secondsPerTick,
                                      std::int32_t count) {
  std::vector<std::int32_t> shown;
  for (std::int32_t seconds : secondsPerTick) {
    show.Tick(seconds);
    std::int32_t& index = show.ImageIndex();
    if (static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(count)) index = 0;
    shown.push_back(index);
  }
  return shown;
}

TEST(SlideshowTest, TwoSecondsPerImageChangesAtSecondsTwoFourSix) {
  Slideshow show;
  EXPECT_EQ(ImagesShown(show, std::vector<std::int32_t>(7, 2), 3), (std::vector<std::int32_t>{0, 1, 1, 2, 2, 0, 0}));
}

TEST(SlideshowTest, BelowOneChangesEverySecond) {
  for (std::int32_t seconds : {1, 0, -3}) {
    Slideshow show;
    EXPECT_EQ(ImagesShown(show, {seconds, seconds, seconds}, 5), (std::vector<std::int32_t>{1, 2, 3})) << seconds;
  }
}

TEST(SlideshowTest, ANewValueCountsFromTheLastChange) {
  Slideshow show;
  // Changed at second 2; then 5 is typed: the next change comes 5 ticks after the last one.
  EXPECT_EQ(ImagesShown(show, {2, 2, 5, 5, 5, 5, 5}, 3), (std::vector<std::int32_t>{0, 1, 1, 1, 1, 1, 2}));
}

TEST(SlideshowTest, PausedTicksCountNothingAndResumingContinuesTheCount) {
  Slideshow show;
  EXPECT_FALSE(show.Tick(3));
  show.SetPaused(true);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(show.Tick(3));
  EXPECT_EQ(show.TickCount(), 1);
  show.SetPaused(false);
  EXPECT_FALSE(show.Tick(3));
  EXPECT_TRUE(show.Tick(3));
  EXPECT_EQ(show.ImageIndex(), 1);
  EXPECT_EQ(show.TickCount(), 0);
}

}  // namespace
}  // namespace kalimo
