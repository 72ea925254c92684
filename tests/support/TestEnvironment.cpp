// Linked into every test program: sets, before main, what each test process needs from its
// environment, unless the caller set it already. Done here rather than through CTest properties so
// that a test program started by hand behaves the same as under ctest.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// A home of the process's own, removed at exit: no test reads or writes the user's home, sees what
// the user registered (a camera plugin linked into ~/.local/share/gstreamer-1.0/plugins is scanned
// by GStreamer whatever GST_PLUGIN_PATH says) or configured. Child processes of a test program keep
// the home their parent made.
std::string privateHome;

void RemovePrivateHome() {
  std::error_code ignored;
  std::filesystem::remove_all(privateHome, ignored);
}

void MakePrivateHome() {
  if (std::getenv("KALIMO_TEST_PRIVATE_HOME")) return;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kalimo-test-home-XXXXXX";
  if (!mkdtemp(pattern.data())) return;
  privateHome = pattern;
  const std::string runtime = privateHome + "/runtime";
  mkdir(runtime.c_str(), 0700);
  setenv("HOME", privateHome.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (privateHome + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (privateHome + "/.local/share").c_str(), 1);
  setenv("XDG_CACHE_HOME", (privateHome + "/.cache").c_str(), 1);
  setenv("XDG_STATE_HOME", (privateHome + "/.local/state").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("KALIMO_TEST_PRIVATE_HOME", privateHome.c_str(), 1);
  std::atexit(RemovePrivateHome);
}

const bool kEnvironmentSet = [] {
  MakePrivateHome();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("KALIMO_OUTPUT_DIR", KALIMO_TEST_OUTPUT_DIR, 0);
  // GStreamer's registry in the build tree, shared by the tests, never the user's cache.
  setenv("GST_REGISTRY", KALIMO_TEST_REGISTRY, 0);
#if defined(__SANITIZE_ADDRESS__)
  // GStreamer's uninstrumented plugin scanner cannot load a plugin built with AddressSanitizer:
  // scan in the test process itself.
  setenv("GST_REGISTRY_FORK", "no", 0);
#endif
  return true;
}();

}  // namespace
