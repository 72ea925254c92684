#include "shell/app/UpdaterModule.h"

#include <dlfcn.h>

namespace kalimo {

namespace {
using UpdateSoftwareFunction = int (*)(const char*, const char*, const char*);
using ReleaseUpdaterFunction = void (*)();

std::string LastLoaderError() {
  const char* text = dlerror();
  return text ? text : "unknown error";
}
}  // namespace

int UpdaterModule::Run(const std::string& fileName) {
  Release();
  failure_.clear();
  dlerror();
  handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    failure_ = LastLoaderError();
    return kUnavailable;
  }
  dlerror();
  const auto update = reinterpret_cast<UpdateSoftwareFunction>(dlsym(handle_, "UpdateSoftware"));
  if (!update) {
    failure_ = LastLoaderError();
    return kUnavailable;
  }
  return update(kUpdaterProductKey, kUpdaterProductName, kUpdaterExeName);
}

void UpdaterModule::Release() {
  if (!handle_) return;
  if (const auto release = reinterpret_cast<ReleaseUpdaterFunction>(dlsym(handle_, "ReleaseUpdater"))) release();
  dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace kalimo
