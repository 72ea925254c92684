#pragma once
// A few assertion macros for the Windows test programs (no test framework is built for mingw here).
// A failed check prints where and what, and makes the program's exit code 1.
#include <cstdio>

namespace kalimo::test {

inline int& Failures() {
  static int failures = 0;
  return failures;
}

inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::fflush(stderr);
  ++Failures();
}

}  // namespace kalimo::test

#define CHECK(condition)                                                      \
  do {                                                                        \
    if (!(condition)) ::kalimo::test::Fail(__FILE__, __LINE__, #condition);   \
  } while (false)

// Compares two HRESULTs and shows both in hexadecimal when they differ.
#define CHECK_HR(expected, actual)                                                                      \
  do {                                                                                                  \
    const long expectedValue = static_cast<long>(expected), actualValue = static_cast<long>(actual);    \
    if (expectedValue != actualValue) {                                                                 \
      char checkText_[256];                                                                                   \
      std::snprintf(checkText_, sizeof checkText_, "%s == %s (expected 0x%08lX, got 0x%08lX)", #expected, #actual,  \
                    static_cast<unsigned long>(expectedValue), static_cast<unsigned long>(actualValue)); \
      ::kalimo::test::Fail(__FILE__, __LINE__, checkText_);                                                 \
    }                                                                                                   \
  } while (false)

// Stops the current test function when a step it depends on failed.
#define REQUIRE(condition)                                                    \
  do {                                                                        \
    if (!(condition)) {                                                       \
      ::kalimo::test::Fail(__FILE__, __LINE__, #condition);                   \
      return;                                                                 \
    }                                                                         \
  } while (false)
