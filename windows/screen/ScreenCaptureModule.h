#pragma once
// The outside screen-capture component, loaded by name for one capture and unloaded at its end.
// A missing library or entry point leaves the capture undone and logs one ERROR line naming it.
#include <QObject>
#include <string>

#include "components/ScreenCaptureApi.h"

namespace kalimo {

// Loaded by name: the program's own folder first (its run path is $ORIGIN), then the system's.
inline constexpr const char* kScreenCaptureFileName = "libScreenCapture.so";

class ScreenCaptureModule {
 public:
  ScreenCaptureModule() = default;
  ~ScreenCaptureModule() { Free(); }
  ScreenCaptureModule(const ScreenCaptureModule&) = delete;
  ScreenCaptureModule& operator=(const ScreenCaptureModule&) = delete;

  // Loads the component and binds "ScreenCapture"; false when either fails (logged).
  bool Load();
  bool IsLoaded() const { return handle_ != nullptr; }
  // Calls "ScreenCapture"; the end arrives as a kScreenCaptureFinishedEvent posted to `notify`.
  void Start(ScreenFrameFunction frameCallback, int regionMode, int record, QObject* notify);
  // Calls "FreeScreenCapture" when the component has it, then unloads the component.
  void Free();

  // The file Load opens (a bare name or a path); tests point it at the built component.
  static void SetFileName(const std::string& fileName);
  static std::string FileName();

 private:
  void* handle_ = nullptr;
  ScreenCaptureFunction screenCapture_ = nullptr;
};

}  // namespace kalimo
