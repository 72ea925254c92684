// The frame path between the writer and the receiver: whole frames only, unchanged frames shared
// instead of copied, and the newest frame for low-latency outputs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/ApplyDataToOstrel.h"
#include "filter/core/FrameReceiver.h"
#include "tests/support/SectionTestSupport.h"
#include "tests/support/TestSection.h"

namespace kalimo {
namespace {

BitmapInfoHeader Rgb24(int width, int height) {
  return BitmapInfoHeader{width, height, 24, static_cast<std::uint32_t>(DibStride(width) * height)};
}

std::vector<unsigned char> Deliver(FrameReceiver& receiver, int width, int height,
                                   FrameChoice choice = FrameChoice::kOldest) {
  std::vector<unsigned char> out(static_cast<std::size_t>(DibStride(width) * height), 0xEE);
  const auto header = Rgb24(width, height);
  receiver.CopyLatestFrame(out.data(), &header, {}, choice);
  return out;
}

class FramePathTest : public ::testing::Test {
 protected:
  ~FramePathTest() override { CloseFrameSection(cell); }
  void Send(const std::vector<unsigned char>& bits, int width, int height) {
    ASSERT_TRUE(WriteFrameToSection(bits.data(), cell, static_cast<std::int32_t>(bits.size()), width, height));
  }
  test::UserFolders folders;
  test::TestSection section;
  FrameSectionHandle cell;
};

// The same polls with and without the counter hand the client the same buffers, in the same order;
// only the number of copies differs.
TEST_F(FramePathTest, UnchangedFramesAreSharedAndDeliverTheSameBuffers) {
  FrameReceiver shared;
  FrameReceiver copying;
  copying.UseSequenceCounter(false);
  const auto poll = [&] {
    shared.Poll();
    copying.Poll();
  };
  Send(test::PatternFrame(8, 4, 1), 8, 4);
  for (int i = 0; i < 5; ++i) poll();
  Send(test::PatternFrame(8, 4, 2), 8, 4);
  for (int i = 0; i < 4; ++i) poll();

  EXPECT_EQ(shared.FrameCount(), copying.FrameCount());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Deliver(shared, 8, 4), Deliver(copying, 8, 4)) << "buffer " << i;
  }
  EXPECT_EQ(shared.PixelCopies(), 2u);  // one per written frame
  EXPECT_EQ(copying.PixelCopies(), 9u);  // one per poll
}

TEST_F(FramePathTest, ANewWriterIsNeverMistakenForTheOldOne) {
  FrameReceiver receiver;
  Send(test::PatternFrame(8, 4, 1), 8, 4);
  receiver.Poll();
  // The program stops (the object goes) and starts again with another picture.
  CloseFrameSection(cell);
  receiver.Poll();
  Send(test::PatternFrame(8, 4, 7), 8, 4);
  receiver.Poll();
  receiver.ClearFrames();
  receiver.Poll();
  EXPECT_EQ(Deliver(receiver, 8, 4), test::PatternFrame(8, 4, 7));
}

TEST_F(FramePathTest, NewestChoiceTakesTheLastFrameAndLeavesTheList) {
  FrameReceiver receiver;
  for (unsigned char seed = 1; seed <= 3; ++seed) {
    Send(test::PatternFrame(8, 4, seed), 8, 4);
    receiver.Poll();
  }
  EXPECT_EQ(Deliver(receiver, 8, 4, FrameChoice::kNewest), test::PatternFrame(8, 4, 3));
  EXPECT_EQ(receiver.FrameCount(), 3u);
  EXPECT_EQ(Deliver(receiver, 8, 4), test::PatternFrame(8, 4, 1));  // the oldest, for the others
  EXPECT_EQ(Deliver(receiver, 8, 4, FrameChoice::kNewest), test::PatternFrame(8, 4, 3));
}

bool OneColour(const unsigned char* bits, std::size_t size) {
  for (std::size_t i = 3; i < size; i += 3) {
    if (bits[i] != bits[0] || bits[i + 1] != bits[1] || bits[i + 2] != bits[2]) return false;
  }
  return true;
}

// Flat-colour frames written fast (about twice as often as the fastest video) while the receiver
// reads without pause: no delivered frame may mix two of them.
TEST_F(FramePathTest, ReaderNeverHandsOutAFrameHalfOldHalfNew) {
  constexpr int kWidth = 1920;
  constexpr int kHeight = 1080;
  const auto bytes = static_cast<std::size_t>(DibStride(kWidth) * kHeight);  // no row padding at 1920
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    std::vector<unsigned char> frame(bytes);
    for (unsigned value = 1; writing; ++value) {
      std::fill(frame.begin(), frame.end(), static_cast<unsigned char>(value));
      WriteFrameToSection(frame.data(), cell, static_cast<std::int32_t>(bytes), kWidth, kHeight);
      std::this_thread::sleep_for(std::chrono::milliseconds(8));
    }
  });
  SectionReadState state;
  int frames = 0;
  int mixed = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  std::shared_ptr<const unsigned char[]> last;
  while (std::chrono::steady_clock::now() < end) {
    const tagFrame frame = ReadSection(&state);
    if (!frame.pBuffer || frame.pBuffer == last) continue;
    last = frame.pBuffer;
    ++frames;
    if (!OneColour(frame.view.bits, static_cast<std::size_t>(frame.view.byteCount))) ++mixed;
  }
  writing = false;
  writer.join();
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(frames, 5) << "torn copies " << state.tornCopies << ", skipped polls " << state.skippedPolls;
}

// A section from a writer that keeps no counter (the object holds only the frame area, or the
// counter was never set) is read on every poll, as before.
TEST_F(FramePathTest, SectionWithoutCounterIsCopiedOnEveryPoll) {
  for (const std::size_t size : {static_cast<std::size_t>(kSectionCapacity), static_cast<std::size_t>(kSectionObjectSize)}) {
    SCOPED_TRACE(size);
    test::RawSection raw(size);
    ASSERT_TRUE(raw.Ok());
    raw.Write(8, 4, static_cast<std::int32_t>(DibStride(8) * 4), test::PatternFrame(8, 4, 5));
    FrameReceiver receiver;
    for (int i = 0; i < 3; ++i) receiver.Poll();
    EXPECT_EQ(receiver.FrameCount(), 3u);
    EXPECT_EQ(receiver.PixelCopies(), 3u);
    EXPECT_EQ(Deliver(receiver, 8, 4), test::PatternFrame(8, 4, 5));
    platform::RemoveSection(section.Name());
  }
}

// Another process of the user (here a thread with its own handle) keeps shrinking the object while
// the writer writes and the reader copies: neither may fault (a SIGBUS would end the test program).
// Pixels that a shrink wiped are lost, so the pictures meanwhile are not checked; the writer's next
// access gives the object its size back, and the next frame reads whole.
TEST_F(FramePathTest, AnObjectShrunkUnderTheWriterAndTheReaderFaultsNeither) {
  constexpr int kWidth = 640;
  constexpr int kHeight = 480;
  const auto bytes = static_cast<std::size_t>(DibStride(kWidth) * kHeight);
  std::vector<unsigned char> first(bytes, 1);
  Send(first, kWidth, kHeight);
  const int other = shm_open(section.Name().c_str(), O_RDWR, 0);
  ASSERT_GE(other, 0);
  std::atomic<bool> running{true};
  std::atomic<int> failedWrites{0};
  std::thread writer([&] {
    std::vector<unsigned char> frame(bytes);
    for (unsigned value = 2; running; ++value) {
      std::fill(frame.begin(), frame.end(), static_cast<unsigned char>(value));
      if (!WriteFrameToSection(frame.data(), cell, static_cast<std::int32_t>(bytes), kWidth, kHeight)) ++failedWrites;
    }
  });
  std::thread shrinker([&] {
    for (int i = 0; i < 300; ++i) {
      EXPECT_EQ(ftruncate(other, (i % 3) * 4096), 0);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    running = false;
  });
  SectionReadState state;
  int reads = 0;
  while (running) {
    ReadSection(&state);
    ++reads;
  }
  shrinker.join();
  writer.join();
  close(other);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(failedWrites, 0);
  // One more frame after the last shrink puts the object back to its full size.
  Send(test::PatternFrame(8, 4, 3), 8, 4);
  EXPECT_EQ(section.ReadAll().size(), static_cast<std::size_t>(kSectionObjectSize));
  const tagFrame frame = ReadSection(&state);
  ASSERT_NE(frame.pBuffer, nullptr);
  EXPECT_EQ(std::vector<unsigned char>(frame.view.bits, frame.view.bits + frame.view.byteCount),
            test::PatternFrame(8, 4, 3));
}

// Whatever sits under the name that is not a private object of this user is no section: the reader
// shows nothing from it, and neither it nor the writer hangs or follows it.
TEST_F(FramePathTest, ObjectsThatAreNotOursAreNoSection) {
  const std::string path = "/dev/shm" + section.Name();
  const auto refusedByBoth = [&](const char* what) {
    SCOPED_TRACE(what);
    SectionReadState state;
    EXPECT_EQ(ReadSection(&state).pBuffer, nullptr);
    EXPECT_EQ(ReadSection().pBuffer, nullptr);
    FrameSectionHandle writer;
    std::string problem;
    EXPECT_FALSE(PrepareFrameSection(writer, problem));
    EXPECT_NE(problem.find("rm " + path), std::string::npos) << problem;
    CloseFrameSection(writer);
    return problem;
  };
  // A FIFO: opening it must not wait for a writer.
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  refusedByBoth("fifo");
  ASSERT_EQ(unlink(path.c_str()), 0);

  // A link to a real section of ours is not followed.
  test::RawSection target(static_cast<std::size_t>(kSectionObjectSize));
  const std::string targetPath = "/dev/shm" + section.Name();
  const std::string linkPath = targetPath + "-link";
  ASSERT_EQ(symlink(targetPath.c_str(), linkPath.c_str()), 0);
  setenv("KALIMO_SECTION", (section.Name() + "-link").c_str(), 1);
  EXPECT_EQ(ReadSection().pBuffer, nullptr);
  FrameSectionHandle writer;
  EXPECT_FALSE(WriteFrameToSection(test::PatternFrame(8, 4, 1).data(), writer, DibStride(8) * 4, 8, 4));
  CloseFrameSection(writer);
  unlink(linkPath.c_str());
  setenv("KALIMO_SECTION", section.Name().c_str(), 1);
  platform::RemoveSection(section.Name());

  // Our own object that others may write into: the reader does not trust its picture.
  {
    test::RawSection open(static_cast<std::size_t>(kSectionObjectSize));
    open.Write(8, 4, static_cast<std::int32_t>(DibStride(8) * 4), test::PatternFrame(8, 4, 5));
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    EXPECT_EQ(ReadSection().pBuffer, nullptr);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_NE(ReadSection().pBuffer, nullptr);  // the same object, private again
  }
  platform::RemoveSection(section.Name());

  // Another user's object: never read; the writer names its owner.
  if (!section.PlantAsOtherUser(static_cast<std::size_t>(kSectionObjectSize))) {
    GTEST_SKIP() << "only root can create an object owned by another user (uid 65534)";
  }
  const std::string problem = refusedByBoth("another user's object");
  EXPECT_NE(problem.find("65534"), std::string::npos) << problem;
}

}  // namespace
}  // namespace kalimo
