#pragma once
// Timing and reporting helpers shared by the benchmark programs.
#include <chrono>
#include <functional>
#include <string>

namespace kalimo::bench {

// Median over `rounds` of the mean time of `iterations` calls, in microseconds.
double MedianMicroseconds(int rounds, int iterations, const std::function<void()>& body);

// Prints one result line. `goal` is a ratio limit: for lower-is-better figures value/baseline must
// not exceed it, otherwise it must reach it. The ratio and whether the goal is met are worked out by
// bench/run, which also prints the table.
void Report(const std::string& figure, const std::string& unit, double value, double baseline, double goal,
            bool lowerIsBetter, const std::string& goalText);

}  // namespace kalimo::bench
