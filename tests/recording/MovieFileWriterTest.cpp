#include "recording/MovieFileWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/Messages.h"
#include "recording/AviStreamFile.h"
#include "tests/recording/AviTestSupport.h"
#include "tests/support/TempDir.h"

namespace kalimo {
namespace {

using test::Bytes;
using test::MakeFrame;

std::int32_t Append(MovieFileWriter& writer, int width, int height, int index) {
  const Bytes frame = MakeFrame(width, height, index);
  return writer.AppendFrame(width, height, frame.data(), 24, static_cast<std::int64_t>(frame.size()));
}

Bytes Expected(int width, int height, int firstIndex, int count, int rowAlign) {
  Bytes all;
  for (int i = firstIndex; i < firstIndex + count; ++i) {
    const Bytes rows = test::TopDownRows(MakeFrame(width, height, i), width, height, rowAlign);
    all.insert(all.end(), rows.begin(), rows.end());
  }
  return all;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// Offset of the data of the first chunk `id` (after its 8-byte header).
std::size_t ChunkData(const Bytes& bytes, const char* id) {
  const auto at = std::search(bytes.begin(), bytes.end(), id, id + 4);
  return at == bytes.end() ? 0 : static_cast<std::size_t>(at - bytes.begin()) + 8;
}

struct Size {
  int width;
  int height;
};

// Widths that need row padding (642, 5) are stored with their padded rows and come back upright
// and unsheared; a width that is a multiple of 4 is the plain case.
TEST(MovieFileWriter, RecordingReadsBackExactlyInFfmpegAndGstreamer) {
  for (const Size size : {Size{64, 48}, Size{642, 30}, Size{5, 3}}) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    test::TempDir dir;
    const std::string path = dir / "movie.avi";
    constexpr int kFrames = 5;
    {
      MovieFileWriter writer(path, 12);
      for (int i = 0; i < kFrames; ++i) ASSERT_EQ(Append(writer, size.width, size.height, i), kAppendSucceeded);
      EXPECT_EQ(writer.ErrorMessage(), "Method Succeeded");
    }
    auto stream = test::ProbeVideoStream(path);
    EXPECT_EQ(stream["nb_streams"], "1");
    EXPECT_EQ(stream["codec_name"], "rawvideo");
    EXPECT_EQ(stream["pix_fmt"], "bgr24");
    EXPECT_EQ(stream["r_frame_rate"], "12/1");
    EXPECT_EQ(stream["width"], std::to_string(size.width));
    EXPECT_EQ(stream["height"], std::to_string(size.height));
    EXPECT_EQ(stream["nb_read_frames"], std::to_string(kFrames));
    EXPECT_TRUE(test::DecodeWithFfmpeg(path) == Expected(size.width, size.height, 0, kFrames, 1));
    EXPECT_TRUE(test::DecodeWithGstreamer(path, size.width) == Expected(size.width, size.height, 0, kFrames, 1));
  }
}

TEST(MovieFileWriter, HeadersDescribeOneUncompressedDibStream) {
  test::TempDir dir;
  const std::string path = dir / "movie.avi";
  {
    MovieFileWriter writer(path, 12, 1024, 768);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Append(writer, 642, 10, i), kAppendSucceeded);
    EXPECT_EQ(writer.BufferSize(), 1024 * 768 * 4);
  }
  const Bytes file = ReadAll(path);
  const std::size_t strh = ChunkData(file, "strh");
  ASSERT_NE(strh, 0u);
  EXPECT_EQ(std::string(file.begin() + strh, file.begin() + strh + 8), "vidsDIB ");
  EXPECT_EQ(U32At(file, strh + 20), 1u);           // scale
  EXPECT_EQ(U32At(file, strh + 24), 12u);          // rate
  EXPECT_EQ(U32At(file, strh + 32), 3u);           // length
  EXPECT_EQ(U32At(file, strh + 36), 1024u * 768 * 4);  // suggested buffer size
  EXPECT_EQ(U32At(file, strh + 40), 0xFFFFFFFFu);  // quality
  EXPECT_EQ(U32At(file, strh + 48), 0u);           // rcFrame left, top
  EXPECT_EQ(U32At(file, strh + 52), 642u | (10u << 16));
  const std::size_t strf = ChunkData(file, "strf");
  ASSERT_NE(strf, 0u);
  EXPECT_EQ(U32At(file, strf - 4), 40u);
  EXPECT_EQ(U32At(file, strf), 40u);
  EXPECT_EQ(U32At(file, strf + 4), 642u);
  EXPECT_EQ(U32At(file, strf + 8), 10u);
  EXPECT_EQ(U32At(file, strf + 12), 1u | (24u << 16));  // planes, bits
  EXPECT_EQ(U32At(file, strf + 16), 0u);                // BI_RGB
  EXPECT_EQ(U32At(file, strf + 20), 1928u * 10);        // stride x height
  const std::size_t strn = ChunkData(file, "strn");
  ASSERT_NE(strn, 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&file[strn]), "Video Stream");
  // The first part is a plain AVI with idx1: three key frames of stride x height bytes.
  const std::size_t idx1 = ChunkData(file, "idx1");
  ASSERT_NE(idx1, 0u);
  EXPECT_EQ(U32At(file, idx1 - 4), 3u * 16);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(std::string(file.begin() + idx1 + 16 * i, file.begin() + idx1 + 16 * i + 4), "00db");
    EXPECT_EQ(U32At(file, idx1 + 16 * i + 4), 0x10u);
    EXPECT_EQ(U32At(file, idx1 + 16 * i + 12), 1928u * 10);
  }
  EXPECT_EQ(U32At(file, 4), file.size() - 8);  // the RIFF covers the whole file
}

TEST(MovieFileWriter, UnopenablePathFailsFirstFrameWithSystemTextAndEveryLaterFrame) {
  test::TempDir dir;
  const std::string path = dir / "missing" / "movie.avi";
  MovieFileWriter writer(path, 12);
  EXPECT_EQ(writer.Mode(), MovieFileWriter::kFirstFrame);
  EXPECT_EQ(Append(writer, 64, 48, 0), kAppendFailed);
  EXPECT_EQ(writer.ErrorMessage(), SystemErrorText(ENOENT));
  EXPECT_EQ(writer.Mode(), MovieFileWriter::kClosed);
  std::filesystem::create_directory(dir / "missing");  // even a path that now works stays refused
  EXPECT_EQ(Append(writer, 64, 48, 1), kAppendFailed);
  EXPECT_FALSE(std::filesystem::exists(path));
  writer.Close();
  writer.Close();
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(MovieFileWriter, WriterThatNeverGotAFrameCreatesNoFile) {
  test::TempDir dir;
  {
    MovieFileWriter writer(dir / "movie.avi", 12);
    writer.Close();
    writer.Close();
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "movie.avi"));
}

// A frame the stream cannot hold ends the recording with the write message; the frames before it
// stay in the file, and every later frame is refused.
TEST(MovieFileWriter, RefusedFrameEndsRecordingAndKeepsEarlierFrames) {
  const Bytes good = MakeFrame(64, 48, 9);
  const Bytes larger = MakeFrame(128, 96, 9);
  struct BadFrame {
    const char* what;
    int width;
    int height;
    const unsigned char* pixels;
    std::int64_t byteCount;
    int bitsPerPixel;
    bool wrongOnlyAfterFirst = false;
  };
  const std::int64_t goodSize = static_cast<std::int64_t>(good.size());
  const BadFrame cases[] = {
      {"null frame", 64, 48, nullptr, goodSize, 24},
      {"zero width", 0, 48, good.data(), goodSize, 24},
      {"negative height", 64, -48, good.data(), goodSize, 24},
      {"short buffer", 64, 48, good.data(), goodSize - 1, 24},
      {"32 bits per pixel", 64, 48, good.data(), goodSize, 32},
      {"larger than the first frame", 128, 96, larger.data(), static_cast<std::int64_t>(larger.size()), 24, true},
      {"smaller than the first frame", 32, 48, good.data(), goodSize, 24, true},
  };
  for (const BadFrame& bad : cases) {
    SCOPED_TRACE(bad.what);
    test::TempDir dir;
    const std::string path = dir / "movie.avi";
    {
      MovieFileWriter writer(path, 12);
      ASSERT_EQ(Append(writer, 64, 48, 0), kAppendSucceeded);
      ASSERT_EQ(Append(writer, 64, 48, 1), kAppendSucceeded);
      EXPECT_EQ(writer.AppendFrame(bad.width, bad.height, bad.pixels, bad.bitsPerPixel, bad.byteCount), kAppendFailed);
      EXPECT_EQ(writer.ErrorMessage(), MovieFileWriter::kWriteFailedMessage);
      EXPECT_EQ(writer.Mode(), MovieFileWriter::kClosed);
      EXPECT_EQ(Append(writer, 64, 48, 2), kAppendFailed);
    }
    EXPECT_EQ(test::ProbeVideoStream(path)["nb_read_frames"], "2");
    EXPECT_TRUE(test::DecodeWithFfmpeg(path) == Expected(64, 48, 0, 2, 1));

    // As a first frame, an invalid one is refused and makes no file (a frame of another size is
    // only wrong after the first).
    if (bad.wrongOnlyAfterFirst) continue;
    MovieFileWriter first(dir / "first.avi", 12);
    EXPECT_EQ(first.AppendFrame(bad.width, bad.height, bad.pixels, bad.bitsPerPixel, bad.byteCount), kAppendFailed);
    EXPECT_EQ(first.ErrorMessage(), MovieFileWriter::kWriteFailedMessage);
    EXPECT_FALSE(std::filesystem::exists(dir / "first.avi"));
  }
}

TEST(MovieFileWriter, StartCheckDropsTheFirstThreeFramesOnlyForMovieResolutionZero) {
  struct Case {
    std::int32_t movieResolution;
    int dropped;
  };
  for (const Case c : {Case{0, 3}, Case{1, 0}, Case{2, 0}, Case{-1, 0}}) {
    SCOPED_TRACE(c.movieResolution);
    test::TempDir dir;
    const std::string path = dir / "movie.avi";
    int checks = 0;
    {
      MovieFileWriter writer(path, 12);
      const auto settings = [&] {
        ++checks;
        return MovieSizeSettings{c.movieResolution, 640, 480};
      };
      for (int i = 0; i < 6; ++i) {
        const Bytes frame = MakeFrame(32, 16, i);
        ASSERT_EQ(writer.AppendFrameWithStartCheck(settings, 32, 16, frame.data(), static_cast<std::int64_t>(frame.size())),
                  kAppendSucceeded);
      }
      EXPECT_EQ(writer.FramesWritten(), 6u - c.dropped);
    }
    EXPECT_EQ(checks, c.dropped == 0 ? 1 : 3);  // settings are read only until the check passes
    EXPECT_TRUE(test::DecodeWithFfmpeg(path) == Expected(32, 16, c.dropped, 6 - c.dropped, 1));
  }
}

// Runs `body` in a child process and returns what it wrote to the pipe; the child ends with _exit.
template <typename Body>
std::string InChild(Body body, pid_t* childOut = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    body(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  if (childOut) *childOut = child;
  std::string output;
  char chunk[256];
  ssize_t got = 0;
  while ((got = ::read(fds[0], chunk, sizeof chunk)) > 0) output.append(chunk, static_cast<std::size_t>(got));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return output;
}

void WriteText(int fd, const std::string& text) {
  if (::write(fd, text.data(), text.size()) < 0) ::_exit(2);
}

TEST(MovieFileWriter, FullDiskEndsRecordingWithWriteMessageAndKeepsEveryCompleteFrame) {
  test::TempDir dir;
  const std::string path = dir / "movie.avi";
  constexpr int kWidth = 160, kHeight = 120;
  const std::string report = InChild([&](int out) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{3 << 20, 3 << 20};  // headers, index room, and some 40 frames
    ::setrlimit(RLIMIT_FSIZE, &limit);
    MovieFileWriter writer(path, 12);
    int written = 0;
    while (written < 10000 && Append(writer, kWidth, kHeight, written) == kAppendSucceeded) ++written;
    WriteText(out, std::to_string(written) + "\n" + writer.ErrorMessage());
  });
  const auto newline = report.find('\n');
  ASSERT_NE(newline, std::string::npos) << report;
  const int written = std::stoi(report.substr(0, newline));
  EXPECT_EQ(report.substr(newline + 1), "Unable to Write Video Stream to the output Movie File");
  EXPECT_GT(written, 5);
  EXPECT_LT(written, 10000);
  EXPECT_EQ(test::ProbeVideoStream(path)["nb_read_frames"], std::to_string(written));
  EXPECT_TRUE(test::DecodeWithFfmpeg(path) == Expected(kWidth, kHeight, 0, written, 1));
  EXPECT_TRUE(test::DecodeWithGstreamer(path, kWidth) == Expected(kWidth, kHeight, 0, written, 1));
}

TEST(MovieFileWriter, WriterKilledMidRecordingLeavesEveryFrameUpToOneSecondBefore) {
  test::TempDir dir;
  const std::string path = dir / "movie.avi";
  constexpr int kWidth = 160, kHeight = 120;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    MovieFileWriter writer(path, 12);
    for (int i = 0;; ++i) {
      if (Append(writer, kWidth, kHeight, i) != kAppendSucceeded) ::_exit(1);
      const int count = i + 1;
      if (::write(fds[1], &count, sizeof count) < 0) ::_exit(2);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ::close(fds[1]);
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto killAt = start + std::chrono::milliseconds(2500);
  int safeCount = 0;  // frames written at least one second before the kill
  std::vector<std::pair<Clock::time_point, int>> reports;
  while (Clock::now() < killAt) {
    int count = 0;
    if (::read(fds[0], &count, sizeof count) != sizeof count) break;
    reports.emplace_back(Clock::now(), count);
  }
  ::kill(child, SIGKILL);
  const auto killedAt = Clock::now();
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(fds[0]);
  ASSERT_TRUE(WIFSIGNALED(status));
  for (const auto& [when, count] : reports) {
    if (when <= killedAt - std::chrono::seconds(1)) safeCount = count;
  }
  ASSERT_GT(safeCount, 10);

  const int readable = std::stoi(test::ProbeVideoStream(path)["nb_read_frames"]);
  EXPECT_GE(readable, safeCount);
  const Bytes decoded = test::DecodeWithFfmpeg(path);
  const Bytes expected = Expected(kWidth, kHeight, 0, safeCount, 1);
  ASSERT_GE(decoded.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), decoded.begin()));
}

// Writes more than 1 GiB; run with KALIMO_LARGE_TESTS=1 (it is skipped otherwise).
TEST(MovieFileWriter, RecordingLargerThanOneGigabyteIsReadWhole) {
  if (!std::getenv("KALIMO_LARGE_TESTS")) GTEST_SKIP() << "set KALIMO_LARGE_TESTS=1 to write a file over 1 GiB";
  test::TempDir dir;
  const std::string path = dir / "large.avi";
  constexpr int kWidth = 640, kHeight = 480;
  constexpr int kFrames = 1400;  // 921,608 bytes each: about 1.29 GB
  {
    MovieFileWriter writer(path, 12);
    for (int i = 0; i < kFrames; ++i) ASSERT_EQ(Append(writer, kWidth, kHeight, i), kAppendSucceeded) << i;
  }
  EXPECT_GT(std::filesystem::file_size(path), std::uintmax_t{1} << 30);
  EXPECT_EQ(test::ProbeVideoStream(path)["nb_read_frames"], std::to_string(kFrames));
  // The last frame, from the second RIFF part, decodes to what was written.
  const test::CommandResult last = test::RunCommand(
      "ffmpeg -v error -nostdin -i " + test::Quote(path) +
      " -vf 'select=eq(n\\," + std::to_string(kFrames - 1) + ")' -vsync 0 -f rawvideo -pix_fmt bgr24 -");
  EXPECT_TRUE(Bytes(last.output.begin(), last.output.end()) == Expected(kWidth, kHeight, kFrames - 1, 1, 1));
  const test::CommandResult gst = test::RunCommand(
      "gst-launch-1.0 -v filesrc location=" + test::Quote(path) +
      " ! avidemux ! fakesink silent=false 2>&1 | grep -c 'last-message = chain'");
  EXPECT_EQ(std::stoi(gst.output), kFrames);

  // The first RIFF alone is a plain AVI: a reader without OpenDML plays its frames through idx1.
  Bytes header(64);
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(header.data()), 64);
  const std::uint32_t firstPartFrames = U32At(header, 48);  // avih total frames
  const std::string firstPart = dir / "first.avi";
  std::filesystem::copy_file(path, firstPart);
  std::filesystem::remove(path);
  std::filesystem::resize_file(firstPart, U32At(header, 4) + 8);
  EXPECT_GT(firstPartFrames, 1000u);
  EXPECT_LT(firstPartFrames, static_cast<std::uint32_t>(kFrames));
  const test::CommandResult plain = test::RunCommand(
      "ffprobe -v error -use_odml 0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " +
      test::Quote(firstPart));
  EXPECT_EQ(std::stoul(plain.output), firstPartFrames);
}

}  // namespace
}  // namespace kalimo
