#pragma once
// What the Windows test programs share: COM pointers, the camera found by its name, a capture graph
// (camera -> Sample Grabber RGB24 -> Null Renderer) that records every sample, test pictures, and
// helpers for programs, files and the per-test frame section.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace kalimo::test {

// Owns one reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// "Kalimo摄像头"
inline constexpr const wchar_t* kCameraName = L"Kalimo\u6444\u50CF\u5934";
// {1FCE9E0A-F821-4585-A0EC-84B37141C1E9}
inline constexpr CLSID kOstrelClassId = {0x1fce9e0a, 0xf821, 0x4585, {0xa0, 0xec, 0x84, 0xb3, 0x71, 0x41, 0xc1, 0xe9}};

// Video input devices by friendly name; the camera's filter bound from its moniker.
std::vector<std::wstring> VideoInputDeviceNames();
HRESULT BindCamera(const wchar_t* friendlyName, IBaseFilter** filter);

// A 24-bit bottom-up DIB body in which neighbouring pixels differ, so that a shifted, flipped or
// wrongly scaled copy never matches.
std::vector<unsigned char> TestPicture(int width, int height, int seed);
// What nearest-neighbour stretching of `source` to twice its size gives.
std::vector<unsigned char> DoubledPicture(const std::vector<unsigned char>& source, int width, int height);
bool IsBlack(const unsigned char* data, long length);

struct SampleRecord {
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  long length = 0;
  bool black = false;
  bool matchesExpected = false;
  ULONGLONG arrivedMs = 0;  // GetTickCount64 when the sample arrived
};

// The Sample Grabber's callback: records every sample and compares it with the expected picture.
class SampleCollector final : public ISampleGrabberCB {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

  void Expect(std::vector<unsigned char> picture);
  std::vector<SampleRecord> Records();
  // Waits (up to `timeoutMs`) until `done` holds for the records so far.
  bool WaitFor(const std::function<bool(const std::vector<SampleRecord>&)>& done, DWORD timeoutMs);
  bool WaitForCount(size_t count, DWORD timeoutMs);

 private:
  std::mutex lock_;
  std::vector<unsigned char> expected_;
  std::vector<SampleRecord> records_;
};

// camera -> Sample Grabber (RGB24) -> Null Renderer, built by the capture graph builder as a chat
// client builds it (RenderStream with PIN_CATEGORY_CAPTURE).
class CaptureGraph {
 public:
  ~CaptureGraph();
  // `format`, when given, is set through the capture pin's IAMStreamConfig before connecting.
  HRESULT Build(IBaseFilter* camera, SampleCollector* collector, AM_MEDIA_TYPE* format = nullptr);
  HRESULT Run();
  HRESULT Pause();
  HRESULT Stop();
  // The size of the type the grabber's input connected with.
  bool ConnectedSize(long& width, long& height);
  ICaptureGraphBuilder2* Builder() const { return builder_.Get(); }
  IBaseFilter* Camera() const { return camera_; }

 private:
  ComPtr<IGraphBuilder> graph_;
  ComPtr<ICaptureGraphBuilder2> builder_;
  ComPtr<IBaseFilter> grabberFilter_;
  ComPtr<ISampleGrabber> grabber_;
  ComPtr<IBaseFilter> renderer_;
  ComPtr<IMediaControl> control_;
  IBaseFilter* camera_ = nullptr;
};

// The folder of this program (where the build puts every Windows file), with a trailing backslash.
std::wstring ProgramFolder();
// A fresh folder below the temporary folder; removed (with its files) by RemoveFolder.
std::wstring MakeTempFolder(const wchar_t* tag);
void RemoveFolder(const std::wstring& folder);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// Points the camera (and every program started from here) at a frame section of this test alone.
std::wstring UseOwnFrameSection(const wchar_t* tag);

// Starts ostrel-feed.exe with `arguments`; returns the process handle, or nullptr.
HANDLE StartFeed(const std::wstring& arguments);
void StopProgram(HANDLE process);

// Writes a BMP of `picture` into `folder` and returns its path.
std::wstring SaveTestBmp(const std::wstring& folder, const wchar_t* name, const std::vector<unsigned char>& picture,
                         int width, int height);

// Runs `test` with COM initialised; returns the program's exit code.
int RunWithCom(const std::function<void()>& test);

}  // namespace kalimo::test
