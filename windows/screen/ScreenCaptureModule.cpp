#include "windows/screen/ScreenCaptureModule.h"

#include <dlfcn.h>

#include <mutex>

#include "common/Logging.h"

namespace kalimo {

namespace {
std::mutex fileNameLock;
std::string& ModuleFileName() {
  static std::string name = kScreenCaptureFileName;
  return name;
}
}  // namespace

void ScreenCaptureModule::SetFileName(const std::string& fileName) {
  std::lock_guard guard(fileNameLock);
  ModuleFileName() = fileName;
}

std::string ScreenCaptureModule::FileName() {
  std::lock_guard guard(fileNameLock);
  return ModuleFileName();
}

bool ScreenCaptureModule::Load() {
  Free();
  const std::string fileName = FileName();
  dlerror();
  handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    KALIMO_LOG_ERROR("the screen-capture component %s cannot be loaded: %s", fileName.c_str(), why ? why : "unknown error");
    return false;
  }
  screenCapture_ = reinterpret_cast<ScreenCaptureFunction>(dlsym(handle_, "ScreenCapture"));
  if (!screenCapture_) {
    KALIMO_LOG_ERROR("the screen-capture component %s has no entry point ScreenCapture", fileName.c_str());
    dlclose(handle_);
    handle_ = nullptr;
    return false;
  }
  return true;
}

void ScreenCaptureModule::Start(ScreenFrameFunction frameCallback, int regionMode, int record, QObject* notify) {
  if (screenCapture_) screenCapture_(frameCallback, regionMode, record, notify);
}

void ScreenCaptureModule::Free() {
  if (!handle_) return;
  if (const auto release = reinterpret_cast<FreeScreenCaptureFunction>(dlsym(handle_, "FreeScreenCapture")))
    release();
  dlclose(handle_);
  handle_ = nullptr;
  screenCapture_ = nullptr;
}

}  // namespace kalimo
