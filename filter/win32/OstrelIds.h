#pragma once
// The filter's identity: one class identifier for every build, because registration and every
// client that creates the filter by class identifier refer to it.
#include <windows.h>

namespace kalimo {

// {1FCE9E0A-F821-4585-A0EC-84B37141C1E9}
inline constexpr CLSID CLSID_Ostrel = {0x1fce9e0a, 0xf821, 0x4585, {0xa0, 0xec, 0x84, 0xb3, 0x71, 0x41, 0xc1, 0xe9}};

inline constexpr const wchar_t* kFilterName = L"Kalimo\u6444\u50CF\u5934";           // "Kalimo摄像头"
inline constexpr const wchar_t* kFilterObjectName = L"Tessaly\u865A\u62DF\u6444\u50CF\u5934";  // "Tessaly虚拟摄像头"
inline constexpr const wchar_t* kDeviceInstanceName = L"Virtual Camera";
// The device entry that registration makes under HKEY_CLASSES_ROOT; it also keeps the user's
// choices for the camera (the DWORD "KeepAspect").
inline constexpr const wchar_t* kDeviceEntryKey =
    L"CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\Virtual Camera";
inline constexpr const wchar_t* kKeepAspectValue = L"KeepAspect";
inline constexpr const wchar_t* kRegisteredPinName = L"Output";
inline constexpr const wchar_t* kPinName = L"Out";

inline constexpr DWORD kMeritInVideoInputCategory = 0x600000;  // MERIT_NORMAL
inline constexpr DWORD kMeritInFilterCategory = 0x200000;      // MERIT_DO_NOT_USE

}  // namespace kalimo
