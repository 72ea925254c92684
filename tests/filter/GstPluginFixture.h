#pragma once
// Loads the camera plugin in a test process the way an application would: GStreamer finds it
// through GST_PLUGIN_PATH, with its registry cache in a temporary file. The plugin is copied into
// a temporary folder first, so that nothing a test does can start a real main program that sits
// beside the built plugin.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/TempDir.h"

namespace kalimo::test {

inline std::filesystem::path BuiltFile(const std::string& name) {
  const char* output = std::getenv("KALIMO_OUTPUT_DIR");
#ifdef KALIMO_BUILT_OUTPUT_DIR
  if (!output || !*output) output = KALIMO_BUILT_OUTPUT_DIR;
#endif
  return std::filesystem::path(output ? output : ".") / name;
}

class GstPluginEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<TempDir>();
    std::filesystem::create_directories(folder_->Path() / "plugins");
    std::filesystem::copy_file(BuiltFile("libgstostrel.so"), folder_->Path() / "plugins" / "libgstostrel.so");
    setenv("GST_PLUGIN_PATH", (folder_->Path() / "plugins").c_str(), 1);
    setenv("GST_REGISTRY", (folder_->Path() / "registry.bin").c_str(), 1);
    // Load plugins in this process: a sanitizer build of the plugin needs the test's runtime.
    setenv("GST_REGISTRY_FORK", "no", 1);
    gst_init(nullptr, nullptr);
    GstElementFactory* factory = gst_element_factory_find("ostrelsrc");
    ASSERT_NE(factory, nullptr) << "the plugin did not load";
    gst_object_unref(factory);
  }
  const TempDir& Folder() const { return *folder_; }

 private:
  std::unique_ptr<TempDir> folder_;
};

}  // namespace kalimo::test
