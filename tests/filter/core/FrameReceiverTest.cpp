#include "filter/core/FrameReceiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "common/ApplyDataToOstrel.h"
#include "filter/core/FilterLog.h"
#include "tests/support/SectionTestSupport.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

constexpr const char* kOpenFailed = "Could not open file mapping object.(2)\r\n";
constexpr const char* kOpened = "Success to open file mapping object.\r\n";

BitmapInfoHeader Rgb24(int width, int height) {
  return BitmapInfoHeader{width, height, 24, static_cast<std::uint32_t>(DibStride(width) * height)};
}

class FrameReceiverTest : public ::testing::Test {
 protected:
  ~FrameReceiverTest() override { CloseFrameSection(cell); }

  void Send(const std::vector<unsigned char>& bits, int width, int height) {
    ASSERT_TRUE(WriteFrameToSection(bits.data(), cell, static_cast<std::int32_t>(bits.size()), width, height));
  }
  std::vector<unsigned char> Copy(int width, int height, unsigned char fill = 0xAB) {
    std::vector<unsigned char> out(static_cast<std::size_t>(DibStride(width) * height), fill);
    const auto header = Rgb24(width, height);
    copied = receiver.CopyLatestFrame(out.data(), &header);
    return out;
  }

  test::UserFolders folders;
  test::TestSection section;
  FrameSectionHandle cell;
  FrameReceiver receiver;  // no thread: the tests poll by hand
  bool copied = false;
};

TEST_F(FrameReceiverTest, LogsTheMissingSectionOnceAndItsArrivalOnce) {
  for (int i = 0; i < 3; ++i) receiver.Poll();
  EXPECT_EQ(folders.Log(), kOpenFailed);
  EXPECT_EQ(receiver.FrameCount(), 0u);

  Send(test::PatternFrame(4, 2), 4, 2);
  for (int i = 0; i < 3; ++i) receiver.Poll();
  EXPECT_EQ(folders.Log(), std::string(kOpenFailed) + kOpened);
  EXPECT_EQ(receiver.FrameCount(), 3u);  // every poll copies the section, changed or not
}

struct HeaderCase {
  const char* name;
  std::uint16_t width;
  std::uint16_t height;
  std::int32_t byteCount;
  bool accepted;
  const char* logged;
};

TEST_F(FrameReceiverTest, ChecksTheByteCountOfEveryHeader) {
  const HeaderCase cases[] = {
      {"zero bytes", 4, 2, 0, false, "get buffersize  is error.(0)\r\n"},
      {"negative", 4, 2, -24, false, "get buffersize  is error.(-24)\r\n"},
      {"one past the section", 4, 2, 17999997, false, "get buffersize  is error.(17999997)\r\n"},
      {"largest count", 4, 2, 17999996, true, ""},
      {"most negative", 4, 2, INT32_MIN, false, "get buffersize  is error.(-2147483648)\r\n"},
      {"zero width and height", 0, 0, 24, true, ""},
      {"a new object, nothing written yet", 0, 0, 0, false, ""},
  };
  test::RawSection raw;
  ASSERT_TRUE(raw.Ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(folders.LogFile());
    receiver.ClearFrames();
    raw.Write(c.width, c.height, c.byteCount);
    receiver.Poll();
    receiver.Poll();
    EXPECT_EQ(receiver.FrameCount(), c.accepted ? 2u : 0u);
    const std::string logged = c.logged;
    EXPECT_EQ(folders.Log(), logged + logged);  // logged on every poll that sees it
  }
}

TEST_F(FrameReceiverTest, ASectionTooShortToMapIsLoggedOnEveryPoll) {
  test::RawSection raw(4096);
  ASSERT_TRUE(raw.Ok());
  receiver.Poll();
  receiver.Poll();
  EXPECT_EQ(receiver.FrameCount(), 0u);
  EXPECT_EQ(folders.Log(), "Could not map view of file.(22)\r\nCould not map view of file.(22)\r\n");
}

TEST_F(FrameReceiverTest, DeliversOldestFirstKeepsTheNewestAndBoundsTheList) {
  for (unsigned char seed = 1; seed <= 3; ++seed) {
    Send(test::PatternFrame(8, 4, seed), 8, 4);
    receiver.Poll();
  }
  for (int seed : {1, 2, 3, 3, 3}) {
    EXPECT_EQ(Copy(8, 4), test::PatternFrame(8, 4, static_cast<unsigned char>(seed))) << seed;
    EXPECT_TRUE(copied);
  }
  EXPECT_EQ(receiver.FrameCount(), 1u);

  for (int i = 0; i < 200; ++i) receiver.Poll();
  EXPECT_EQ(receiver.FrameCount(), FrameReceiver::kMaxFrames);

  // The writer is gone: the list keeps its frames and the last picture repeats.
  CloseFrameSection(cell);
  for (int i = 0; i < 30; ++i) {
    receiver.Poll();
    Copy(8, 4);
  }
  EXPECT_EQ(receiver.FrameCount(), 1u);
  EXPECT_EQ(Copy(8, 4), test::PatternFrame(8, 4, 3));
}

TEST_F(FrameReceiverTest, CopiesByteExactOrStretchesWithRepeatedPixels) {
  const auto large = test::PatternFrame(640, 480, 5);
  Send(large, 640, 480);
  receiver.Poll();
  EXPECT_EQ(Copy(640, 480), large);

  const auto small = test::PatternFrame(320, 240, 9);
  Send(small, 320, 240);
  receiver.Poll();
  Copy(640, 480);  // takes the 640x480 frame; the 320x240 one stays
  const auto stretched = Copy(640, 480);
  const auto stride = static_cast<std::size_t>(DibStride(640));
  for (std::size_t y = 0; y < 480; y += 37) {
    for (std::size_t x = 0; x < 640; x += 23) {
      const std::size_t source = (y / 2) * DibStride(320) + (x / 2) * 3;
      for (std::size_t c = 0; c < 3; ++c) ASSERT_EQ(stretched[y * stride + x * 3 + c], small[source + c]) << x << "," << y;
    }
  }
}

TEST_F(FrameReceiverTest, WritesTopDownRowsWhenTheOutputAsksForThem) {
  const auto bits = test::PatternFrame(6, 3, 1);  // a stride of 20 with 2 bytes of padding per row
  Send(bits, 6, 3);
  receiver.Poll();
  std::vector<unsigned char> out(static_cast<std::size_t>(DibStride(6) * 3), 0xAB);
  const auto header = Rgb24(6, 3);
  ASSERT_TRUE(receiver.CopyLatestFrame(out.data(), &header, OutputLayout{RowOrder::kTopDown, DibStride(6), out.size()}));
  const auto expected = test::TopDown(bits, 6, 3);
  for (std::size_t row = 0; row < 3; ++row) {
    EXPECT_TRUE(std::equal(out.begin() + row * 20, out.begin() + row * 20 + 18, expected.begin() + row * 20)) << row;
  }
}

TEST_F(FrameReceiverTest, RefusesWrongFormatsAndLeavesTheOutputUntouched) {
  Send(test::PatternFrame(640, 480), 640, 480);
  receiver.Poll();
  struct Case {
    BitmapInfoHeader header;
    const char* logged;
  } cases[] = {
      {{640, 480, 32, 640 * 480 * 4}, "bmiHeader.biBitCount != 24.\r\n"},
      {{640, 480, 24, 640 * 480 * 3 + 1}, "pHeader->bmiHeader.biSizeImage != nSizeImage.\r\n"},
      {{640, -480, 24, 0}, "pHeader->bmiHeader.biSizeImage != nSizeImage.\r\n"},
  };
  std::vector<unsigned char> out(640 * 480 * 4, 0xAB);
  for (const auto& c : cases) {
    std::filesystem::remove(folders.LogFile());
    EXPECT_FALSE(receiver.CopyLatestFrame(out.data(), &c.header));
    EXPECT_EQ(folders.Log(), c.logged);
  }
  EXPECT_FALSE(receiver.CopyLatestFrame(nullptr, &cases[0].header));
  EXPECT_FALSE(receiver.CopyLatestFrame(out.data(), nullptr));
  const auto header = Rgb24(640, 480);
  EXPECT_FALSE(receiver.CopyLatestFrame(out.data(), &header, OutputLayout{RowOrder::kBottomUp, 0, out.size() / 4}));  // too small
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](unsigned char b) { return b == 0xAB; }));
  EXPECT_EQ(receiver.FrameCount(), 1u);
}

TEST_F(FrameReceiverTest, AShortFrameIsPaddedWithBlackAndNeverReadPastItsEnd) {
  // The header claims 640x480 but carries only the 10 bottom rows and half of the 11th.
  const auto full = test::PatternFrame(640, 480, 2);
  const std::size_t stride = static_cast<std::size_t>(DibStride(640));
  const std::size_t bytes = stride * 10 + stride / 2;
  test::RawSection raw;
  ASSERT_TRUE(raw.Ok());
  raw.Write(640, 480, static_cast<std::int32_t>(bytes), std::vector<unsigned char>(full.begin(), full.begin() + bytes));
  receiver.Poll();

  for (const auto& [width, height] : {std::pair{640, 480}, std::pair{320, 240}}) {
    const auto out = Copy(width, height);
    ASSERT_TRUE(copied);
    const std::size_t outStride = static_cast<std::size_t>(DibStride(width));
    const std::size_t coveredRows = width == 640 ? 10 : 5;
    for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
      const auto begin = out.begin() + static_cast<std::ptrdiff_t>(row * outStride);
      const bool black = std::all_of(begin + width / 2 * 3 + 3, begin + width * 3, [](unsigned char b) { return b == 0; });
      EXPECT_EQ(black, row >= coveredRows) << width << " row " << row;
    }
  }
}

TEST_F(FrameReceiverTest, SurvivesArbitraryHeaders) {
  test::RawSection raw;
  ASSERT_TRUE(raw.Ok());
  // KALIMO_FUZZ_ROUNDS and KALIMO_FUZZ_SEED let a session run this far longer than CI does.
  const char* rounds = std::getenv("KALIMO_FUZZ_ROUNDS");
  const char* seed = std::getenv("KALIMO_FUZZ_SEED");
  std::mt19937 random(seed ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 20261209u);
  const int roundCount = rounds ? std::atoi(rounds) : 150;
  const std::int32_t counts[] = {0, 1, 2, 3, 11, 12, 13, 921599, 921600, 921601, kMaxFrameBytes, kMaxFrameBytes + 1, -1};
  for (int round = 0; round < roundCount; ++round) {
    const auto width = static_cast<std::uint16_t>(random() % 4 == 0 ? random() : random() % 700);
    const auto height = static_cast<std::uint16_t>(random() % 4 == 0 ? random() : random() % 500);
    const std::int32_t count = random() % 2 ? counts[random() % std::size(counts)]
                                            : static_cast<std::int32_t>(random() % 2000000);
    raw.Write(width, height, count);
    receiver.Poll();
    const bool valid = count > 0 && count <= kMaxFrameBytes;
    const int outWidth = round % 3 == 0 ? 320 : round % 3 == 1 ? 640 : 1 + static_cast<int>(random() % 50);
    const int outHeight = outWidth == 320 ? 240 : outWidth == 640 ? 480 : 1 + static_cast<int>(random() % 50);
    Copy(outWidth, outHeight);
    EXPECT_EQ(copied, valid) << width << "x" << height << " " << count;
    receiver.ClearFrames();
  }
}

TEST(FrameReceiverLog, AppendsUnchangedAndStopsPastOneMebibyte) {
  test::UserFolders folders;
  EXPECT_TRUE(WriteLog("one"));
  EXPECT_TRUE(WriteLog("two\r\n"));
  EXPECT_FALSE(WriteLog(static_cast<const char*>(nullptr)));
  EXPECT_EQ(folders.Log(), "onetwo\r\n");

  std::filesystem::resize_file(folders.LogFile(), kLogSizeLimit);
  EXPECT_TRUE(WriteLog("x"));  // exactly 1 MiB still takes one more
  EXPECT_FALSE(WriteLog("y"));
  EXPECT_EQ(std::filesystem::file_size(folders.LogFile()), kLogSizeLimit + 1);
  EXPECT_EQ(folders.Log().back(), 'x');
}

TEST(FrameReceiverLog, NeverCreatesTheLogFolder) {
  test::UserFolders folders(false);
  EXPECT_FALSE(WriteLog("lost\r\n"));
  EXPECT_FALSE(std::filesystem::exists(folders.LogFile().parent_path()));
}

using test::ThreadCount;
using test::ThreadCountBecomes;

TEST(FrameReceiverProcess, CamerasShareOneReceiverAndTheLastStopsIt) {
  test::UserFolders folders;
  test::TestSection section;
  FrameSectionHandle cell;
  const auto bits = test::PatternFrame(4, 2);
  ASSERT_TRUE(WriteFrameToSection(bits.data(), cell, static_cast<std::int32_t>(bits.size()), 4, 2));
  const int before = ThreadCount();
  EXPECT_EQ(GetReceiver(), nullptr);

  FrameReceiver* first = AcquireReceiver();
  FrameReceiver* second = AcquireReceiver();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(first->HasThread());
  EXPECT_EQ(ThreadCount(), before + 1);
  for (int i = 0; i < 400 && first->FrameCount() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GT(first->FrameCount(), 0u);  // the thread polls on its own

  ReleaseReceiver();
  EXPECT_EQ(GetReceiver(), first);
  ReleaseReceiver();
  EXPECT_EQ(GetReceiver(), nullptr);
  EXPECT_TRUE(ThreadCountBecomes(before));

  CloseFrameSection(cell);
  FrameReceiver* fresh = AcquireReceiver();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->FrameCount(), 0u);
  ReleaseReceiver();
  ReleaseReceiver();  // one release too many is harmless
  EXPECT_EQ(GetReceiver(), nullptr);
}

}  // namespace
}  // namespace kalimo
