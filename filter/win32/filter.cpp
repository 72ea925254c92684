// Ostrel.ax: the DLL entry points of the virtual camera filter and its registration as a video
// input device.
#include <string>

#include "filter/win32/ClassFactory.h"
#include "filter/win32/OstrelIds.h"
#include "filter/win32/dshow/DirectShow.h"
#include "filter/win32/dshow/ModuleLocks.h"
#include "platform/win32/ModuleHandle.h"

using namespace kalimo;

namespace {

HMODULE thisModule = nullptr;

std::wstring GuidText(const GUID& guid) {
  wchar_t text[64] = {};
  StringFromGUID2(guid, text, 64);
  return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_Ostrel); }

bool SetStringValue(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// HKEY_CLASSES_ROOT\CLSID\{filter}: its name, the DLL's path and the threading model.
HRESULT RegisterComServer() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(thisModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  HKEY classKey = nullptr;
  HKEY serverKey = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &classKey, nullptr);
  if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  bool written = SetStringValue(classKey, nullptr, kFilterName);
  result = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr);
  if (result == ERROR_SUCCESS) {
    written = SetStringValue(serverKey, nullptr, path) && SetStringValue(serverKey, L"ThreadingModel", L"Both") &&
              written;
    RegCloseKey(serverKey);
  }
  RegCloseKey(classKey);
  if (result != ERROR_SUCCESS) return HRESULT_FROM_WIN32(result);
  return written ? S_OK : E_FAIL;
}

HRESULT UnregisterComServer() {
  const LONG result = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(result);
}

// The registered pin: "Output", one video output of any subtype.
REGPINTYPES outputPinType = {&MEDIATYPE_Video, &MEDIASUBTYPE_NULL};
wchar_t registeredPinName[] = L"Output";
REGFILTERPINS outputPin = {registeredPinName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &outputPinType};

REGFILTER2 FilterData(DWORD merit) {
  REGFILTER2 data{};
  data.dwVersion = 1;
  data.dwMerit = merit;
  data.cPins = 1;
  data.rgPins = &outputPin;
  return data;
}

HRESULT CreateFilterMapper(IFilterMapper2** mapper) {
  return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                          reinterpret_cast<void**>(mapper));
}

// COM is normally initialised by the registration tool; this makes sure of it for other callers.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

// The setup step: the COM server keys and the filter in the default DirectShow filters category.
HRESULT RegisterSetup(bool registering) {
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CreateFilterMapper(&mapper);
  if (FAILED(hr)) return hr;
  mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, CLSID_Ostrel);
  if (registering) {
    hr = RegisterComServer();
    if (SUCCEEDED(hr)) {
      const REGFILTER2 data = FilterData(kMeritInFilterCategory);
      hr = mapper->RegisterFilter(CLSID_Ostrel, kFilterName, nullptr, &CLSID_LegacyAmFilterCategory, nullptr, &data);
    }
  } else {
    hr = UnregisterComServer();
  }
  mapper->Release();
  return hr;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    thisModule = instance;
    platform::SetModuleHandleOfFilter(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IClassFactory && riid != IID_IUnknown) return E_NOINTERFACE;
  if (rclsid != CLSID_Ostrel) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateFilterClassFactory(riid, ppv);
}

STDAPI DllCanUnloadNow() { return dshow::ModuleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
  ComScope com;
  HRESULT hr = RegisterSetup(true);
  if (FAILED(hr)) return hr;
  IFilterMapper2* mapper = nullptr;
  hr = CreateFilterMapper(&mapper);
  if (SUCCEEDED(hr)) {
    const REGFILTER2 data = FilterData(kMeritInVideoInputCategory);
    hr = mapper->RegisterFilter(CLSID_Ostrel, kFilterName, nullptr, &CLSID_VideoInputDeviceCategory,
                                kDeviceInstanceName, &data);
    mapper->Release();
  }
  return hr;
}

STDAPI DllUnregisterServer() {
  ComScope com;
  HRESULT hr = RegisterSetup(false);
  if (FAILED(hr)) return hr;
  IFilterMapper2* mapper = nullptr;
  hr = CreateFilterMapper(&mapper);
  if (SUCCEEDED(hr)) {
    hr = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kDeviceInstanceName, CLSID_Ostrel);
    mapper->Release();
  }
  return hr;
}

}  // extern "C"
