// Linked into every test program: sets, before main, what each test process needs from its
// environment, unless the caller set it already. Done here rather than through CTest properties so
// that a test program started by hand behaves the same as under ctest.
#include <cstdlib>

namespace {
const bool kEnvironmentSet = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("KALIMO_OUTPUT_DIR", KALIMO_TEST_OUTPUT_DIR, 0);
#if defined(__SANITIZE_ADDRESS__)
  // GStreamer's uninstrumented plugin scanner cannot load a plugin built with AddressSanitizer:
  // scan in the test process itself.
  setenv("GST_REGISTRY_FORK", "no", 0);
#endif
  return true;
}();
}  // namespace
