#include "tests/filter/win32/WinTestSupport.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "common/FrameSectionLayout.h"
#include "filter/win32/ostrel-feed/BmpFile.h"
#include "platform/win32/WideText.h"
#include "tests/filter/win32/Check.h"

namespace kalimo::test {

namespace {

std::wstring FriendlyNameOf(IMoniker* moniker) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) return {};
  VARIANT name;
  VariantInit(&name);
  std::wstring result;
  if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR) result = name.bstrVal;
  VariantClear(&name);
  return result;
}

// Calls `visit` for every video input device until it returns true.
void ForEachVideoInputDevice(const std::function<bool(IMoniker*, const std::wstring&)>& visit) {
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devices.PutVoid()))) {
    return;
  }
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK) return;
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.Put(), nullptr) != S_OK) return;
    if (visit(moniker.Get(), FriendlyNameOf(moniker.Get()))) return;
  }
}

}  // namespace

std::vector<std::wstring> VideoInputDeviceNames() {
  std::vector<std::wstring> names;
  ForEachVideoInputDevice([&](IMoniker*, const std::wstring& name) {
    names.push_back(name);
    return false;
  });
  return names;
}

HRESULT BindCamera(const wchar_t* friendlyName, IBaseFilter** filter) {
  HRESULT result = VFW_E_NOT_FOUND;
  ForEachVideoInputDevice([&](IMoniker* moniker, const std::wstring& name) {
    if (name != friendlyName) return false;
    result = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    return true;
  });
  return result;
}

std::vector<unsigned char> TestPicture(int width, int height, int seed) {
  const std::int64_t stride = DibStride(width);
  std::vector<unsigned char> bits(static_cast<size_t>(stride * height), 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* pixel = bits.data() + y * stride + 3 * x;
      pixel[0] = static_cast<unsigned char>(x + seed);
      pixel[1] = static_cast<unsigned char>(y * 3 + seed);
      pixel[2] = static_cast<unsigned char>(x * 7 + y * 5 + 1);
    }
  }
  return bits;
}

std::vector<unsigned char> DoubledPicture(const std::vector<unsigned char>& source, int width, int height) {
  const std::int64_t sourceStride = DibStride(width);
  const std::int64_t stride = DibStride(2 * width);
  std::vector<unsigned char> bits(static_cast<size_t>(stride * 2 * height), 0);
  for (int y = 0; y < 2 * height; ++y) {
    for (int x = 0; x < 2 * width; ++x) {
      std::memcpy(bits.data() + y * stride + 3 * x, source.data() + (y / 2) * sourceStride + 3 * (x / 2), 3);
    }
  }
  return bits;
}

bool IsBlack(const unsigned char* data, long length) {
  for (long i = 0; i < length; ++i) {
    if (data[i] != 0) return false;
  }
  return true;
}

STDMETHODIMP SampleCollector::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
    *object = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP SampleCollector::SampleCB(double, IMediaSample* sample) {
  SampleRecord record;
  record.arrivedMs = GetTickCount64();
  sample->GetTime(&record.start, &record.stop);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  record.length = sample->GetActualDataLength();
  record.black = data && IsBlack(data, record.length);
  std::lock_guard guard(lock_);
  record.matchesExpected = data && !expected_.empty() && static_cast<size_t>(record.length) == expected_.size() &&
                           std::memcmp(data, expected_.data(), expected_.size()) == 0;
  records_.push_back(record);
  return S_OK;
}

void SampleCollector::Expect(std::vector<unsigned char> picture) {
  std::lock_guard guard(lock_);
  expected_ = std::move(picture);
}

std::vector<SampleRecord> SampleCollector::Records() {
  std::lock_guard guard(lock_);
  return records_;
}

bool SampleCollector::WaitFor(const std::function<bool(const std::vector<SampleRecord>&)>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done(Records())) return true;
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
}

bool SampleCollector::WaitForCount(size_t count, DWORD timeoutMs) {
  return WaitFor([count](const std::vector<SampleRecord>& records) { return records.size() >= count; }, timeoutMs);
}

CaptureGraph::~CaptureGraph() {
  if (control_) control_->Stop();
}

HRESULT CaptureGraph::Build(IBaseFilter* camera, SampleCollector* collector, AM_MEDIA_TYPE* format) {
  camera_ = camera;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph_.PutVoid());
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                          builder_.PutVoid());
  }
  if (SUCCEEDED(hr)) hr = builder_->SetFiltergraph(graph_.Get());
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          grabberFilter_.PutVoid());
  }
  if (SUCCEEDED(hr)) hr = grabberFilter_->QueryInterface(IID_ISampleGrabber, grabber_.PutVoid());
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer_.PutVoid());
  }
  if (FAILED(hr)) return hr;

  AM_MEDIA_TYPE rgb24{};
  rgb24.majortype = MEDIATYPE_Video;
  rgb24.subtype = MEDIASUBTYPE_RGB24;
  grabber_->SetMediaType(&rgb24);
  grabber_->SetBufferSamples(FALSE);
  grabber_->SetOneShot(FALSE);
  grabber_->SetCallback(collector, 0);

  hr = graph_->AddFilter(camera, L"camera");
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(grabberFilter_.Get(), L"grabber");
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(renderer_.Get(), L"renderer");
  if (FAILED(hr)) return hr;
  if (format) {
    ComPtr<IAMStreamConfig> config;
    hr = builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IID_IAMStreamConfig,
                                 config.PutVoid());
    if (SUCCEEDED(hr)) hr = config->SetFormat(format);
    if (FAILED(hr)) return hr;
  }
  hr = builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, grabberFilter_.Get(),
                              renderer_.Get());
  if (FAILED(hr)) return hr;
  return graph_->QueryInterface(IID_IMediaControl, control_.PutVoid());
}

HRESULT CaptureGraph::Run() { return control_ ? control_->Run() : E_UNEXPECTED; }

HRESULT CaptureGraph::Pause() { return control_ ? control_->Pause() : E_UNEXPECTED; }

HRESULT CaptureGraph::Stop() { return control_ ? control_->Stop() : E_UNEXPECTED; }

bool CaptureGraph::ConnectedSize(long& width, long& height) {
  AM_MEDIA_TYPE type{};
  if (!grabber_ || FAILED(grabber_->GetConnectedMediaType(&type))) return false;
  bool found = false;
  if (type.formattype == FORMAT_VideoInfo && type.pbFormat && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    width = info->bmiHeader.biWidth;
    height = info->bmiHeader.biHeight;
    found = true;
  }
  CoTaskMemFree(type.pbFormat);
  if (type.pUnk) type.pUnk->Release();
  return found;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring MakeTempFolder(const wchar_t* tag) {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + L"ostrel-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
  RemoveFolder(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\";
}

void RemoveFolder(const std::wstring& folder) {
  std::wstring from = folder;
  while (!from.empty() && (from.back() == L'\\' || from.back() == L'/')) from.pop_back();
  from.push_back(L'\0');  // the shell wants a double-terminated list
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  const bool ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
  CloseHandle(file);
  return ok;
}

std::wstring UseOwnFrameSection(const wchar_t* tag) {
  const std::wstring name = std::wstring(L"Local\\ostrel-test-") + tag + L"-" + std::to_wstring(GetCurrentProcessId());
  // _wputenv_s changes the C runtime's copy (read by the camera) and the process environment
  // (inherited by ostrel-feed.exe).
  _wputenv_s(L"KALIMO_SECTION", name.c_str());
  return name;
}

HANDLE StartFeed(const std::wstring& arguments) {
  std::wstring command = L"\"" + ProgramFolder() + L"ostrel-feed.exe\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

void StopProgram(HANDLE process) {
  if (!process) return;
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 10000);
  CloseHandle(process);
}

std::wstring SaveTestBmp(const std::wstring& folder, const wchar_t* name, const std::vector<unsigned char>& picture,
                         int width, int height) {
  const std::wstring path = folder + name;
  feed::DibPicture dib{width, height, picture};
  CHECK(feed::WriteBmpFile(platform::WideToUtf8(path), dib));
  return path;
}

int RunWithCom(const std::function<void()>& test) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    std::fputs("COM could not be initialised\n", stderr);
    return 1;
  }
  test();
  CoUninitialize();
  return Failures() == 0 ? 0 : 1;
}

}  // namespace kalimo::test
