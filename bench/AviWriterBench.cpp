// The AVI writer's throughput for 640x480 frames against write(2) of the same bytes to a file on the
// same disk.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "common/FrameSectionLayout.h"
#include "recording/MovieFileWriter.h"

using namespace kalimo;
using Clock = std::chrono::steady_clock;

int main() {
  // Beside the build, on the disk the project lives on (the temporary folder may be memory).
  const std::filesystem::path folder = std::filesystem::current_path() / ("avi-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  constexpr int kWidth = 640;
  constexpr int kHeight = 480;
  constexpr int kFrames = 600;  // 50 s of recording, 553 MB
  const auto bytes = static_cast<std::size_t>(DibStride(kWidth) * kHeight);
  std::vector<unsigned char> frame(bytes);
  for (std::size_t i = 0; i < bytes; ++i) frame[i] = static_cast<unsigned char>(i * 7);

  double writerSeconds = 1e9, plainSeconds = 1e9;
  for (int round = 0; round < 3; ++round) {
    {
      const auto path = (folder / "plain.raw").string();
      const auto start = Clock::now();
      const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      for (int i = 0; i < kFrames; ++i) {
        if (write(fd, frame.data(), bytes) != static_cast<ssize_t>(bytes)) return 1;
      }
      close(fd);
      plainSeconds = std::min(plainSeconds, std::chrono::duration<double>(Clock::now() - start).count());
      std::filesystem::remove(path);
    }
    {
      const auto path = (folder / "movie.avi").string();
      const auto start = Clock::now();
      MovieFileWriter writer(path, 12);
      for (int i = 0; i < kFrames; ++i) {
        if (writer.AppendFrame(kWidth, kHeight, frame.data(), 24, static_cast<std::int64_t>(bytes)) != 0) return 1;
      }
      writer.Close();
      writerSeconds = std::min(writerSeconds, std::chrono::duration<double>(Clock::now() - start).count());
      std::filesystem::remove(path);
    }
  }
  std::filesystem::remove_all(folder);
  const double megabytes = static_cast<double>(bytes) * kFrames / 1e6;
  bench::Report("AVI writer throughput, 640x480", "MB/s", megabytes / writerSeconds, megabytes / plainSeconds, 0.8,
                false, ">= 0.8 x write(2)");
  return 0;
}
