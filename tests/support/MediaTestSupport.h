#pragma once
// Shared by the media tests: the generated media, waiting for streaming threads, a window that
// counts the notices a player sends it.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "media/base/VideoWindow.h"

namespace kalimo::test {

// GStreamer's plugin registry goes to the build folder instead of the user's cache, and the fake
// camera plugin is found there; set before any test initialises GStreamer.
inline const bool kGStreamerSetUp = [] {
#ifdef __SANITIZE_ADDRESS__
  // GStreamer's uninstrumented plugin scanner cannot load an instrumented plugin: scan in-process.
  setenv("GST_REGISTRY_FORK", "no", 0);
  setenv("GST_REGISTRY", KALIMO_TEST_GST_REGISTRY ".sanitize", 1);
#else
  setenv("GST_REGISTRY", KALIMO_TEST_GST_REGISTRY, 1);
#endif
  setenv("GST_PLUGIN_PATH", KALIMO_TEST_PLUGIN_DIR, 1);
  return true;
}();

inline std::filesystem::path TestMedia(const std::string& name) {
  return std::filesystem::path(KALIMO_TEST_MEDIA_DIR) / name;
}

// Polls `condition` until it holds or `limit` passes (a limit that only stops a hung test).
inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class CountingVideoWindow : public media::VideoWindow {
 public:
  void PreviewFrameArrived() override { ++previews; }
  void GraphEventsWaiting() override { ++eventNotices; }
  std::atomic<int> previews{0};
  std::atomic<int> eventNotices{0};
};

}  // namespace kalimo::test
