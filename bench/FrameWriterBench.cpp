// Cost of writing one frame into the section, against a plain memcpy of the same bytes into an
// equally large buffer that is already mapped and touched.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchReport.h"
#include "common/ApplyDataToOstrel.h"
#include "common/FrameSectionLayout.h"

using namespace kalimo;

int main() {
  const std::string name = "/kalimo-bench-writer-" + std::to_string(getpid());
  setenv("KALIMO_SECTION", name.c_str(), 1);
  FrameSectionHandle cell;
  struct Size {
    int width;
    int height;
  };
  for (const Size size : {Size{640, 480}, Size{1920, 1080}}) {
    const auto stride = DibStride(size.width);
    const auto bytes = static_cast<std::size_t>(stride * size.height);
    std::vector<unsigned char> source(bytes), target(bytes);
    for (std::size_t i = 0; i < bytes; ++i) source[i] = static_cast<unsigned char>(i * 13);
    const int iterations = size.width == 640 ? 400 : 60;
    const auto copy = [&] {
      std::memcpy(target.data(), source.data(), bytes);
      asm volatile("" : : "r"(target.data()) : "memory");
    };
    const auto write = [&] {
      WriteFrameToSection(source.data(), cell, static_cast<std::int32_t>(bytes), size.width, size.height);
    };
    const auto writeTopDown = [&] {
      WriteTopDownFrameToSection(FrameView{source.data(), size.width, size.height, stride, stride * size.height}, cell);
    };
    copy();
    write();  // creates and maps the section, outside the measurement
    // Interleaved rounds, so both sides see the same machine load.
    double copyTime = 0, writeTime = 0, flipTime = 0;
    for (int round = 0; round < 5; ++round) {
      copyTime += bench::MedianMicroseconds(3, iterations, copy);
      writeTime += bench::MedianMicroseconds(3, iterations, write);
      flipTime += bench::MedianMicroseconds(3, iterations, writeTopDown);
    }
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    bench::Report("writer per frame " + label, "us", writeTime / 5, copyTime / 5, 1.25, true, "<= 1.25 x memcpy");
    bench::Report("top-down writer per frame " + label, "us", flipTime / 5, copyTime / 5, 1.4, true,
                  "<= 1.4 x memcpy");
  }
  CloseFrameSection(cell);
  return 0;
}
