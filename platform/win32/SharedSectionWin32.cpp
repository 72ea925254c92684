// The writable side of the frame section on Win32: a named, paging-file-backed file mapping
// ("Global\MyFileMappingObject444", or KALIMO_SECTION) that lives as long as somebody holds a handle.
#include <windows.h>

#include "platform/ReceiverPlatform.h"
#include "platform/SharedSection.h"
#include "platform/win32/SessionSectionName.h"
#include "platform/win32/WideText.h"

namespace kalimo::platform {

namespace {

HANDLE AsHandle(SectionHandle handle) { return reinterpret_cast<HANDLE>(handle); }

HANDLE CreateMapping(const std::string& name, std::uint64_t size, int& error) {
  const std::wstring wide = Utf8ToWide(name);
  HANDLE handle = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size >> 32),
                                     static_cast<DWORD>(size & 0xFFFFFFFFu), wide.c_str());
  error = handle ? 0 : static_cast<int>(GetLastError());
  return handle;
}

}  // namespace

SectionHandle CreateSection(const std::string& name, std::size_t size, int& error) {
  HANDLE handle = CreateMapping(name, size, error);
  // Only accounts with the right to create global objects may create a Global\ section; everyone
  // else writes into the session's namespace, where the camera looks next.
  const std::string local = SessionSectionName(name);
  if (!handle && error == ERROR_ACCESS_DENIED && !local.empty()) {
    handle = CreateMapping(local, size, error);
    if (handle) DebugOutput("The frame section is in this session's namespace (no right to create global objects)");
  }
  return handle ? reinterpret_cast<SectionHandle>(handle) : kNoSection;
}

std::string SectionProblemText(const std::string&) { return {}; }

void* MapSection(SectionHandle handle, std::size_t size, bool writable, int& error) {
  void* view = MapViewOfFile(AsHandle(handle), writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, size);
  if (!view) error = static_cast<int>(GetLastError());
  return view;
}

void UnmapSection(void* view, std::size_t) {
  if (view) UnmapViewOfFile(view);
}

void CloseSection(SectionHandle handle) {
  if (handle != kNoSection) CloseHandle(AsHandle(handle));
}

bool RemoveSection(const std::string&) { return true; }

}  // namespace kalimo::platform
