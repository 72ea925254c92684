#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <numeric>
#include <vector>

#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

constexpr const char* kCreated = "Create file maping success";
constexpr const char* kTooLarge = "存储图像的空间太小，不能传输图像";

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed = 1) {
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 31 + seed * 7) % 251);
  return bytes;
}

class FrameSectionWriterTest : public ::testing::Test {
 protected:
  ~FrameSectionWriterTest() override { CloseFrameSection(cell); }
  test::TestSection section;
  test::LogCapture log;
  FrameSectionHandle cell;
};

TEST_F(FrameSectionWriterTest, WritesHeaderAndPixelsOfASmallFrame) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));

  const auto bytes = section.ReadAll();
  ASSERT_EQ(bytes.size(), static_cast<std::size_t>(kSectionObjectSize));
  const std::vector<unsigned char> header(bytes.begin(), bytes.begin() + 8);
  EXPECT_EQ(header, (std::vector<unsigned char>{0x03, 0x00, 0x02, 0x00, 0x18, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), bytes.begin() + 8));
  EXPECT_EQ(DibStride(3), 12);
}

TEST_F(FrameSectionWriterTest, LogsCreationOnceWithLevelAndSourceName) {
  const auto pixels = Pattern(24);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(log.Count(kCreated), 1);
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, 40000);
  EXPECT_EQ(records[0].source, "ApplyDataToOstrel");
  EXPECT_GT(records[0].line, 0);
}

TEST_F(FrameSectionWriterTest, AcceptsTheLargestFrameAndRefusesOneByteMore) {
  const auto first = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(first.data(), cell, 24, 3, 2));

  std::vector<unsigned char> large(static_cast<std::size_t>(kMaxFrameBytes) + 1, 0xAB);
  EXPECT_FALSE(WriteFrameToSection(large.data(), cell, kMaxFrameBytes + 1, 3000, 2000));
  EXPECT_EQ(log.Count(kTooLarge), 1);
  EXPECT_EQ(section.Header().byteCount, 24);  // the previous frame stays
  EXPECT_EQ(section.Header().width, 3);

  EXPECT_TRUE(WriteFrameToSection(large.data(), cell, kMaxFrameBytes, 3000, 2000));
  EXPECT_EQ(section.Header().byteCount, kMaxFrameBytes);
  EXPECT_EQ(section.ReadAll()[kSectionCapacity - 1], 0xAB);
}

// A frame of top-down rows `stride` bytes apart, as GStreamer hands them over.
FrameView TopDown(const std::vector<unsigned char>& rows, int width, int height, std::int64_t stride) {
  return {rows.data(), width, height, stride, static_cast<std::int64_t>(rows.size())};
}

std::uint64_t SequenceOf(const std::vector<unsigned char>& bytes) {
  std::uint64_t value = 0;
  std::memcpy(&value, bytes.data() + kSequenceOffset, sizeof value);
  return value;
}

TEST_F(FrameSectionWriterTest, EveryFrameMovesTheSequenceCounterOnByTwo) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  const std::uint64_t first = SequenceOf(section.ReadAll());
  EXPECT_EQ(first % 2, 0u);
  EXPECT_GT(first, 2u);  // a new object's counter starts from the clock, not from 0
  ASSERT_TRUE(WriteTopDownFrameToSection(TopDown(pixels, 3, 2, 12), cell));
  EXPECT_EQ(SequenceOf(section.ReadAll()), first + 2);
  EXPECT_FALSE(WriteFrameToSection(pixels.data(), cell, -1, 3, 2));  // refused frames do not count
  EXPECT_EQ(SequenceOf(section.ReadAll()), first + 2);

  // The next writer of the same object goes on counting.
  FrameSectionHandle another;
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), another, 24, 3, 2));
  EXPECT_EQ(SequenceOf(section.ReadAll()), first + 4);
  platform::UnmapSection(another.view, kSectionObjectSize);
  platform::CloseSection(another.handle);
}

TEST_F(FrameSectionWriterTest, CounterLeftOddByADeadWriterBecomesEvenAgain) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  SectionSequence(cell.view).store(7);  // as if a writer died in the middle of a frame
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(SequenceOf(section.ReadAll()), 10u);
}

TEST_F(FrameSectionWriterTest, SmallerFrameLeavesTheTailOfTheLargerOne) {
  const auto large = Pattern(DibStride(64) * 64, 3);
  const auto small = Pattern(24, 9);
  ASSERT_TRUE(WriteFrameToSection(large.data(), cell, static_cast<std::int32_t>(large.size()), 64, 64));
  ASSERT_TRUE(WriteFrameToSection(small.data(), cell, 24, 3, 2));

  const auto bytes = section.ReadAll();
  EXPECT_EQ(section.Header().byteCount, 24);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), bytes.begin() + 8));
  EXPECT_TRUE(std::equal(large.begin() + 24, large.end(), bytes.begin() + 8 + 24));
}

TEST_F(FrameSectionWriterTest, FailedMappingClosesTheHandleAndTheNextFrameCreatesTheSectionAgain) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));

  // A read-only descriptor of the same object cannot be mapped for writing: a real mmap failure.
  platform::UnmapSection(cell.view, kSectionObjectSize);
  cell.view = nullptr;
  platform::CloseSection(cell.handle);
  cell.handle = shm_open(section.Name().c_str(), O_RDONLY, 0);
  ASSERT_GE(cell.handle, 0);
  EXPECT_FALSE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(log.Count("Could not map view of file error code=13"), 1);
  EXPECT_FALSE(cell.IsOpen());

  EXPECT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(log.Count(kCreated), 2);
}

TEST_F(FrameSectionWriterTest, FailedCreationLeavesTheCellEmptyAndIsRetried) {
  setenv("KALIMO_SECTION", "/no/such/shm/name", 1);  // a name shm_open refuses
  const auto pixels = Pattern(24);
  EXPECT_FALSE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_FALSE(cell.IsOpen());
  const auto records = log.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].message.rfind("Could not create file mapping object error code=", 0), 0u);
  EXPECT_NE(records[0].message, "Could not create file mapping object error code=0");

  setenv("KALIMO_SECTION", section.Name().c_str(), 1);
  EXPECT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(log.Count(kCreated), 1);
}

TEST_F(FrameSectionWriterTest, RefusesAnObjectOfAnotherUser) {
  if (geteuid() != 0) GTEST_SKIP() << "handing the object to another user needs root";
  const int fd = shm_open(section.Name().c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fchown(fd, 65534, 65534), 0);
  close(fd);
  const auto pixels = Pattern(24);
  EXPECT_FALSE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(log.Count("Could not create file mapping object error code=13"), 1);
}

struct BadFrame {
  const char* what;
  bool nullPixels;
  std::int32_t byteCount;
  int width;
  int height;
};

TEST_F(FrameSectionWriterTest, BadInputIsRefusedWithoutTouchingTheSection) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  const BadFrame cases[] = {
      {"null pixels", true, 24, 3, 2},
      {"negative byte count", false, -1, 3, 2},
      {"most negative byte count", false, INT_MIN, 3, 2},
      {"byte count near the integer limit", false, INT_MAX, 3, 2},
      {"width above 65535", false, 24, 65536, 2},
      {"height above 65535", false, 24, 3, 70000},
      {"zero width", false, 24, 0, 2},
      {"negative height", false, 24, 3, -2},
  };
  for (const auto& bad : cases) {
    EXPECT_FALSE(WriteFrameToSection(bad.nullPixels ? nullptr : pixels.data(), cell, bad.byteCount, bad.width,
                                     bad.height))
        << bad.what;
    EXPECT_EQ(section.Header().width, 3) << bad.what;
    EXPECT_EQ(section.Header().byteCount, 24) << bad.what;
  }
}

TEST_F(FrameSectionWriterTest, TopDownWriterMatchesTheBottomUpWriter) {
  for (const int width : {3, 4, 641, 642, 1920}) {
    SCOPED_TRACE(width);
    const int height = 5;
    const auto stride = static_cast<std::size_t>(DibStride(width));
    const auto bottomUp = Pattern(stride * height, static_cast<unsigned>(width));
    std::vector<unsigned char> topDown(bottomUp.size());
    for (int row = 0; row < height; ++row) {
      std::copy_n(bottomUp.begin() + static_cast<std::ptrdiff_t>((height - 1 - row) * stride), stride,
                  topDown.begin() + static_cast<std::ptrdiff_t>(row * stride));
    }
    ASSERT_TRUE(WriteFrameToSection(bottomUp.data(), cell, static_cast<std::int32_t>(bottomUp.size()), width, height));
    auto expected = section.ReadAll();
    ASSERT_TRUE(WriteTopDownFrameToSection(TopDown(topDown, width, height, static_cast<std::int64_t>(stride)), cell));
    auto written = section.ReadAll();
    expected.resize(kSectionCapacity);  // the frame area; the sequence counter behind it moves on
    written.resize(kSectionCapacity);
    EXPECT_EQ(written, expected);
  }
  EXPECT_EQ(DibStride(642), 1928);
}

TEST_F(FrameSectionWriterTest, TopDownWriterPadsTightRowsAndRefusesShortOnes) {
  const int width = 642;
  const int height = 3;
  const auto tight = Pattern(static_cast<std::size_t>(width) * 3 * height);
  ASSERT_TRUE(WriteTopDownFrameToSection(TopDown(tight, width, height, width * 3), cell));
  const auto bytes = section.ReadAll();
  EXPECT_EQ(section.Header().byteCount, 1928 * 3);
  // The top row of the picture is the last row in the section, its padding zeroed.
  const auto* lastRow = bytes.data() + 8 + 2 * 1928;
  EXPECT_TRUE(std::equal(tight.begin(), tight.begin() + width * 3, lastRow));
  EXPECT_EQ(lastRow[1926], 0);
  EXPECT_EQ(lastRow[1927], 0);

  EXPECT_FALSE(WriteTopDownFrameToSection(TopDown(tight, width, height, width * 3 - 1), cell));
  EXPECT_FALSE(WriteTopDownFrameToSection(FrameView{nullptr, width, height, 1928, 1928 * height}, cell));
  // Rows that would run past the frame's end are refused before anything is read.
  EXPECT_FALSE(WriteTopDownFrameToSection(TopDown(tight, width, height + 1, width * 3), cell));
  // 75 MB of pixels: refused before anything is read, as too large for the section.
  EXPECT_FALSE(WriteTopDownFrameToSection(FrameView{tight.data(), 5000, 5000, 15000, 15000LL * 5000}, cell));
  EXPECT_EQ(log.Count(kTooLarge), 1);
}

// What a preview shows is the section's own copy, as the camera reads it, for both writers.
TEST_F(FrameSectionWriterTest, WritesReturnTheSectionsCopy) {
  const int width = 5;
  const int height = 3;
  const auto bottomUp = Pattern(static_cast<std::size_t>(DibStride(width) * height));
  const FrameView written =
      WriteFrameToSection(bottomUp.data(), cell, static_cast<std::int32_t>(bottomUp.size()), width, height);
  ASSERT_TRUE(written);
  EXPECT_EQ(written.bits, cell.view + kSectionHeaderSize);
  EXPECT_EQ(written.width, width);
  EXPECT_EQ(written.height, height);
  EXPECT_EQ(written.stride, 16);
  EXPECT_EQ(written.byteCount, 48);
  EXPECT_TRUE(std::equal(bottomUp.begin(), bottomUp.end(), written.bits));

  const auto tight = Pattern(static_cast<std::size_t>(width) * 3 * height, 2);
  const FrameView turned = WriteTopDownFrameToSection(TopDown(tight, width, height, width * 3), cell);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned.bits, written.bits);
  EXPECT_EQ(turned.byteCount, 48);
  // The picture's top row is the last row of the copy.
  EXPECT_TRUE(std::equal(tight.begin(), tight.begin() + width * 3, turned.bits + 2 * 16));
  EXPECT_FALSE(WriteFrameToSection(bottomUp.data(), cell, -1, width, height));
}

TEST_F(FrameSectionWriterTest, SectionIsPrivateAndGoneAfterShutdown) {
  const auto pixels = Pattern(24);
  ASSERT_TRUE(WriteFrameToSection(pixels.data(), cell, 24, 3, 2));
  EXPECT_EQ(section.Mode(), 0600);
  CloseFrameSection(cell);
  EXPECT_FALSE(cell.IsOpen());
  EXPECT_FALSE(section.Exists());
  CloseFrameSection(cell);  // a second shutdown is harmless
}

TEST(FrameSectionName, IsPerUserUnlessOverridden) {
  unsetenv("KALIMO_SECTION");
  EXPECT_EQ(platform::FrameSectionName(), "/MyFileMappingObject444-" + std::to_string(getuid()));
  setenv("KALIMO_SECTION", "mine", 1);
  EXPECT_EQ(platform::FrameSectionName(), "/mine");
  unsetenv("KALIMO_SECTION");
}

}  // namespace
}  // namespace kalimo
