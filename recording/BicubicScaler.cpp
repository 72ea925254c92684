#include "recording/BicubicScaler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kalimo {

namespace {

constexpr double kA = -0.5;

double Cubic(double x) {
  x = std::fabs(x);
  if (x < 1.0) return ((kA + 2.0) * x - (kA + 3.0)) * x * x + 1.0;
  if (x < 2.0) return (((x - 5.0) * x + 8.0) * x - 4.0) * kA;
  return 0.0;
}

// For each target position, the first source index and the normalised weights of its taps.
struct Taps {
  std::vector<int> first;
  std::vector<int> count;
  std::vector<double> weights;  // `width` per target position
  int width = 0;
};

Taps ComputeTaps(int sourceSize, int targetSize) {
  const double scale = static_cast<double>(sourceSize) / targetSize;
  const double filterScale = std::max(scale, 1.0);
  const double support = 2.0 * filterScale;
  Taps taps;
  taps.width = static_cast<int>(std::ceil(support)) * 2 + 1;
  taps.first.resize(targetSize);
  taps.count.resize(targetSize);
  taps.weights.assign(static_cast<std::size_t>(targetSize) * taps.width, 0.0);
  for (int t = 0; t < targetSize; ++t) {
    const double center = (t + 0.5) * scale;
    const int from = std::max(0, static_cast<int>(std::floor(center - support)));
    const int to = std::min(sourceSize, static_cast<int>(std::ceil(center + support)));
    double* weights = &taps.weights[static_cast<std::size_t>(t) * taps.width];
    double total = 0.0;
    int n = 0;
    for (int s = from; s < to && n < taps.width; ++s, ++n) {
      weights[n] = Cubic((s + 0.5 - center) / filterScale);
      total += weights[n];
    }
    if (total != 0.0) {
      for (int i = 0; i < n; ++i) weights[i] /= total;
    }
    taps.first[t] = from;
    taps.count[t] = n;
  }
  return taps;
}

std::uint8_t ToByte(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

}  // namespace

void ScaleBicubic24(const std::uint8_t* source, int width, int height, int sourceStride, std::uint8_t* target,
                    int targetWidth, int targetHeight, int targetStride) {
  const Taps columns = ComputeTaps(width, targetWidth);
  const Taps rows = ComputeTaps(height, targetHeight);
  // Horizontal pass into a float buffer of targetWidth x height, then the vertical pass.
  std::vector<float> across(static_cast<std::size_t>(targetWidth) * height * 3);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* line = source + static_cast<std::ptrdiff_t>(y) * sourceStride;
    float* out = &across[static_cast<std::size_t>(y) * targetWidth * 3];
    for (int x = 0; x < targetWidth; ++x) {
      const double* weights = &columns.weights[static_cast<std::size_t>(x) * columns.width];
      double sum[3] = {0, 0, 0};
      for (int i = 0; i < columns.count[x]; ++i) {
        const std::uint8_t* pixel = line + (columns.first[x] + i) * 3;
        for (int c = 0; c < 3; ++c) sum[c] += weights[i] * pixel[c];
      }
      for (int c = 0; c < 3; ++c) out[x * 3 + c] = static_cast<float>(sum[c]);
    }
  }
  for (int y = 0; y < targetHeight; ++y) {
    const double* weights = &rows.weights[static_cast<std::size_t>(y) * rows.width];
    std::uint8_t* out = target + static_cast<std::ptrdiff_t>(y) * targetStride;
    for (int x = 0; x < targetWidth * 3; ++x) {
      double sum = 0.0;
      for (int i = 0; i < rows.count[y]; ++i) {
        sum += weights[i] * across[static_cast<std::size_t>(rows.first[y] + i) * targetWidth * 3 + x];
      }
      out[x] = ToByte(sum);
    }
  }
}

}  // namespace kalimo
