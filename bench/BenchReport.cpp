#include "bench/BenchReport.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kalimo::bench {

double MedianMicroseconds(int rounds, int iterations, const std::function<void()>& body) {
  std::vector<double> means;
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    means.push_back(std::chrono::duration<double, std::micro>(elapsed).count() / iterations);
  }
  std::sort(means.begin(), means.end());
  return means[means.size() / 2];
}

void Report(const std::string& figure, const std::string& unit, double value, double baseline, double goal,
            bool lowerIsBetter, const std::string& goalText) {
  std::printf(
      "{\"figure\": \"%s\", \"unit\": \"%s\", \"value\": %.4f, \"baseline\": %.4f, \"goal_ratio\": %.4f, "
      "\"lower_is_better\": %s, \"goal\": \"%s\"}\n",
      figure.c_str(), unit.c_str(), value, baseline, goal, lowerIsBetter ? "true" : "false", goalText.c_str());
  std::fflush(stdout);
}

}  // namespace kalimo::bench
