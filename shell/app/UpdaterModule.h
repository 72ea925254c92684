#pragma once
// The outside software updater, a shared library loaded by name before the program shows anything.
// Its answer decides whether the program may go on starting.
#include <string>

namespace kalimo {

// The component's file name. Loaded by name, so the dynamic loader's search path applies: the
// program's own folder first (the program carries $ORIGIN as its run path), then the system's.
inline constexpr const char* kUpdaterFileName = "libDoveVurarir.so";

// What the updater is told about the program.
inline constexpr const char* kUpdaterProductKey = "K4-TROVELLA-LINUX";
inline constexpr const char* kUpdaterProductName = "trovella";
inline constexpr const char* kUpdaterExeName = "Kalimo.exe";

class UpdaterModule {
 public:
  // The result when the component cannot be loaded or lacks its entry point.
  static constexpr int kUnavailable = 2;

  UpdaterModule() = default;
  ~UpdaterModule() { Release(); }
  UpdaterModule(const UpdaterModule&) = delete;
  UpdaterModule& operator=(const UpdaterModule&) = delete;

  // Loads `fileName` (a bare name or a path) and calls its UpdateSoftware. 0: go on starting.
  // kUnavailable when it cannot be loaded or has no UpdateSoftware; Failure() then says why.
  int Run(const std::string& fileName);
  const std::string& Failure() const { return failure_; }

  // Calls ReleaseUpdater when the component has it, then unloads the component. Safe to repeat.
  void Release();
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
  std::string failure_;
};

}  // namespace kalimo
