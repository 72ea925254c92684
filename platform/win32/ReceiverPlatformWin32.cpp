// The receiver's operating-system layer on Win32: named file mapping, the roaming application-data
// folder, the log file, the DLL's own folder, and starting the main program through the shell.
#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ReceiverPlatform.h"
#include "platform/win32/ModuleHandle.h"
#include "platform/win32/SessionSectionName.h"
#include "platform/win32/WideText.h"

namespace kalimo::platform {

namespace {
HMODULE filterModule = nullptr;

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
}  // namespace

void SetModuleHandleOfFilter(HMODULE module) { filterModule = module; }

HMODULE ModuleHandleOfFilter() {
  if (filterModule) return filterModule;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&SetModuleHandleOfFilter), &module);
  return module;
}

ReadOnlySectionView::~ReadOnlySectionView() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

namespace {
// True when `section` belongs to this user: its owner is the user of this process, or an account
// that may do anything anyway (the administrators, as the owner of what an elevated program of the
// user creates, and the system). A section planted by another user shows none of its pictures.
// A system that keeps no owner for the object (Wine, for objects created without a security
// descriptor) leaves nothing to check: such a section is read.
bool OwnedByThisUser(HANDLE section) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(section, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  if (!owner) {
    LocalFree(descriptor);
    return true;
  }
  bool ours = false;
  HANDLE token = nullptr;
  if (owner && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    unsigned char buffer[256];
    DWORD length = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length)) {
      ours = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != FALSE;
    }
    CloseHandle(token);
  }
  ours = ours || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid);
  LocalFree(descriptor);
  return ours;
}
}  // namespace

bool ReadOnlySectionView::Open(const std::string& name, int& error) {
  HANDLE section = OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, Utf8ToWide(name).c_str());
  if (!section) {
    error = static_cast<int>(GetLastError());
    // A writer without the right to create global objects puts the section into its session.
    const std::string local = SessionSectionName(name);
    if (error == ERROR_FILE_NOT_FOUND && !local.empty()) {
      section = OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, Utf8ToWide(local).c_str());
      if (!section) error = static_cast<int>(GetLastError());
    }
    if (!section) return false;
  }
  if (!OwnedByThisUser(section)) {
    CloseHandle(section);
    error = ERROR_ACCESS_DENIED;
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(section);
  return true;
}

bool ReadOnlySectionView::Read(std::size_t offset, void* out, std::size_t size, int& error) {
  if (handle_ == -1) {
    error = ERROR_INVALID_HANDLE;
    return false;
  }
  // A view must start at a multiple of the allocation granularity: map the bytes from there. A
  // section never shrinks on Windows, and MapViewOfFile refuses a view past its end.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::size_t start = offset - offset % system.dwAllocationGranularity;
  const auto high = static_cast<DWORD>(static_cast<unsigned long long>(start) >> 32);
  const auto low = static_cast<DWORD>(start & 0xFFFFFFFFu);
  void* view = MapViewOfFile(AsHandle(handle_), FILE_MAP_READ, high, low, offset - start + size);
  if (!view) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  std::memcpy(out, static_cast<const unsigned char*>(view) + (offset - start), size);
  UnmapViewOfFile(view);
  return true;
}

std::string UserDataFile(const std::string& folder, const std::string& name) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &list)) || !list) return {};
  wchar_t path[MAX_PATH] = {};
  const BOOL found = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  if (!found || !path[0]) return {};
  return WideToUtf8(path) + "\\" + folder + "\\" + name;
}

AppendResult AppendToFile(const std::string& path, const void* bytes, std::size_t size, std::uint64_t limit) {
  // Opened unshared and written through, as every message is a complete record of its own.
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (file == INVALID_HANDLE_VALUE) return AppendResult::kFailed;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file, &length)) {
    CloseHandle(file);
    return AppendResult::kFailed;
  }
  if (static_cast<std::uint64_t>(length.QuadPart) > limit) {
    CloseHandle(file);
    return AppendResult::kOverLimit;
  }
  LARGE_INTEGER end{};
  bool written = SetFilePointerEx(file, end, nullptr, FILE_END) != 0;
  const auto* next = static_cast<const char*>(bytes);
  std::size_t left = size;
  while (written && left > 0) {
    DWORD chunk = 0;
    const DWORD wanted = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    written = WriteFile(file, next, wanted, &chunk, nullptr) && chunk > 0;
    next += chunk;
    left -= chunk;
  }
  CloseHandle(file);
  return written ? AppendResult::kWritten : AppendResult::kFailed;
}

std::string ModuleFilePath(const std::string& name, int& error) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(ModuleHandleOfFilter(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    error = static_cast<int>(length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER);
    return {};
  }
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return WideToUtf8(folder) + name;
}

bool StartDetachedProgram(const std::string& path, int& error) {
  const std::wstring file = Utf8ToWide(path);
  // A missing program is reported here instead of letting the shell show an error box inside
  // the client application.
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

// The main program's main window carries the title "Kalimo".
bool MainProgramIsRunning() { return FindWindowW(nullptr, L"Kalimo") != nullptr; }

void SleepMilliseconds(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

void DebugOutput(const std::string& text) {
  OutputDebugStringW(Utf8ToWide(text).c_str());
  if (std::getenv("KALIMO_FILTER_DEBUG")) {
    std::fputs(text.c_str(), stderr);
  }
}

}  // namespace kalimo::platform
