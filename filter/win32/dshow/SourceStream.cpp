#include "filter/win32/dshow/SourceStream.h"

#include <algorithm>
#include <cstring>

#include "filter/win32/dshow/Enumerators.h"
#include "filter/win32/dshow/SourceFilter.h"

namespace kalimo::dshow {

namespace {
constexpr REFERENCE_TIME kUnitsPerMillisecond = 10000;
// The longest single wait, so that a clock that jumps is noticed soon.
constexpr REFERENCE_TIME kLongestWaitMilliseconds = 50;
}  // namespace

SourceStream::SourceStream(SourceFilter* filter, const wchar_t* pinName) : filter_(filter), name_(pinName) {
  InitializeCriticalSection(&timeLock_);
  stopEvent_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  runEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  filter_->AddPin(this);
}

SourceStream::~SourceStream() {
  Inactive();
  ReleaseConnection();
  filter_->RemovePin(this);
  if (stopEvent_) CloseHandle(stopEvent_);
  if (runEvent_) CloseHandle(runEvent_);
  if (clock_) clock_->Release();
  DeleteCriticalSection(&timeLock_);
}

HRESULT SourceStream::BaseQueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (riid == IID_IQualityControl) {
    *object = static_cast<IQualityControl*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP SourceStream::QueryInterface(REFIID riid, void** object) { return BaseQueryInterface(riid, object); }
STDMETHODIMP_(ULONG) SourceStream::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) SourceStream::Release() { return filter_->Release(); }

// ---- connection -------------------------------------------------------------------------------

STDMETHODIMP SourceStream::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  AutoLock lock(filter_->StateLock());
  if (connectedPin_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION direction;
  if (FAILED(receivePin->QueryDirection(&direction)) || direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

  const bool fullySpecified = type && type->majortype != GUID_NULL && type->subtype != GUID_NULL &&
                              type->formattype != GUID_NULL && type->pbFormat;
  if (fullySpecified) return TryConnection(receivePin, *type);

  // Our own types first, then the ones the receiving pin proposes.
  for (int position = 0;; ++position) {
    MediaType candidate;
    if (GetMediaType(position, &candidate) != S_OK) break;
    if (MatchesPartialType(candidate, type) && SUCCEEDED(TryConnection(receivePin, candidate))) return S_OK;
  }
  IEnumMediaTypes* proposals = nullptr;
  if (SUCCEEDED(receivePin->EnumMediaTypes(&proposals)) && proposals) {
    AM_MEDIA_TYPE* proposal = nullptr;
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    while (result != S_OK && proposals->Next(1, &proposal, nullptr) == S_OK) {
      if (MatchesPartialType(*proposal, type) && SUCCEEDED(TryConnection(receivePin, *proposal))) result = S_OK;
      DeleteMediaType(proposal);
    }
    proposals->Release();
    if (result == S_OK) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT SourceStream::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type) {
  if (CheckMediaType(&type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  connectedPin_ = receivePin;
  connectedPin_->AddRef();
  HRESULT hr = receivePin->ReceiveConnection(this, &type);
  if (FAILED(hr)) {
    ReleaseConnection();
    return hr;
  }
  hr = SetMediaType(&type);
  if (SUCCEEDED(hr)) hr = DecideAllocator();
  if (FAILED(hr)) {
    receivePin->Disconnect();
    ReleaseConnection();
  }
  return hr;
}

HRESULT SourceStream::DecideAllocator() {
  HRESULT hr = connectedPin_->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&inputPin_));
  if (FAILED(hr)) return VFW_E_NO_TRANSPORT;

  ALLOCATOR_PROPERTIES wanted{};
  inputPin_->GetAllocatorRequirements(&wanted);  // a pin without requirements leaves them zero
  if (wanted.cbAlign == 0) wanted.cbAlign = 1;

  // The downstream pin's allocator if it offers one; otherwise a standard memory allocator
  // (some pins, such as Wine's Sample Grabber input, offer none).
  IMemAllocator* allocator = nullptr;
  if (SUCCEEDED(inputPin_->GetAllocator(&allocator)) && allocator) {
    ALLOCATOR_PROPERTIES request = wanted;
    hr = DecideBufferSize(allocator, &request);
    if (SUCCEEDED(hr)) hr = inputPin_->NotifyAllocator(allocator, FALSE);
    if (SUCCEEDED(hr)) {
      allocator_ = allocator;
      return S_OK;
    }
    allocator->Release();
    allocator = nullptr;
  }
  hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                        reinterpret_cast<void**>(&allocator));
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES request = wanted;
  hr = DecideBufferSize(allocator, &request);
  if (SUCCEEDED(hr)) hr = inputPin_->NotifyAllocator(allocator, FALSE);
  if (FAILED(hr)) {
    allocator->Release();
    return hr;
  }
  allocator_ = allocator;
  return S_OK;
}

void SourceStream::ReleaseConnection() {
  if (allocator_) allocator_->Release();
  if (inputPin_) inputPin_->Release();
  if (connectedPin_) connectedPin_->Release();
  allocator_ = nullptr;
  inputPin_ = nullptr;
  connectedPin_ = nullptr;
}

STDMETHODIMP SourceStream::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin is never the receiving end
}

STDMETHODIMP SourceStream::Disconnect() {
  AutoLock lock(filter_->StateLock());
  if (filter_->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connectedPin_) return S_FALSE;
  ReleaseConnection();
  return S_OK;
}

STDMETHODIMP SourceStream::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  AutoLock lock(filter_->StateLock());
  *pin = connectedPin_;
  if (!connectedPin_) return VFW_E_NOT_CONNECTED;
  connectedPin_->AddRef();
  return S_OK;
}

STDMETHODIMP SourceStream::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  AutoLock lock(filter_->StateLock());
  if (!connectedPin_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(*type, m_mt);
}

STDMETHODIMP SourceStream::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  const size_t length = std::min(name_.size(), static_cast<size_t>(MAX_PIN_NAME - 1));
  std::memcpy(info->achName, name_.c_str(), length * sizeof(WCHAR));
  info->achName[length] = L'\0';
  return S_OK;
}

STDMETHODIMP SourceStream::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP SourceStream::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const size_t bytes = (name_.size() + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, name_.c_str(), bytes);
  return S_OK;
}

STDMETHODIMP SourceStream::QueryAccept(const AM_MEDIA_TYPE* type) { return CheckMediaType(type) == S_OK ? S_OK : S_FALSE; }

STDMETHODIMP SourceStream::EnumMediaTypes(IEnumMediaTypes** types) { return CreateMediaTypeEnumerator(this, types); }

STDMETHODIMP SourceStream::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP SourceStream::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP SourceStream::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP SourceStream::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP SourceStream::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP SourceStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }
STDMETHODIMP SourceStream::SetSink(IQualityControl*) { return S_OK; }

HRESULT SourceStream::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return m_mt.Set(*type);
}

// ---- streaming --------------------------------------------------------------------------------

HRESULT SourceStream::Active() {
  if (!connectedPin_ || thread_) return S_OK;
  HRESULT hr = allocator_->Commit();
  if (FAILED(hr)) return hr;
  ResetEvent(runEvent_);
  ResetEvent(stopEvent_);
  thread_ = CreateThread(nullptr, 0, &SourceStream::ThreadEntry, this, 0, nullptr);
  if (!thread_) {
    SetEvent(stopEvent_);
    allocator_->Decommit();
    return HRESULT_FROM_WIN32(GetLastError());
  }
  return S_OK;
}

void SourceStream::Inactive() {
  SetEvent(stopEvent_);
  ResetEvent(runEvent_);
  // Decommitting first wakes a worker that waits in GetBuffer for a free sample.
  if (allocator_) allocator_->Decommit();
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  AutoLock lock(&timeLock_);
  if (clock_) clock_->Release();
  clock_ = nullptr;
}

void SourceStream::Run(REFERENCE_TIME start, IReferenceClock* clock) {
  {
    AutoLock lock(&timeLock_);
    if (clock) clock->AddRef();
    if (clock_) clock_->Release();
    clock_ = clock;
    runStart_ = start;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    wallRunStart_ = counter.QuadPart;
  }
  SetEvent(runEvent_);
}

void SourceStream::PauseRunning() { ResetEvent(runEvent_); }

bool SourceStream::CurrentStreamTime(REFERENCE_TIME& now) {
  AutoLock lock(&timeLock_);
  if (clock_) {
    REFERENCE_TIME clockTime = 0;
    if (SUCCEEDED(clock_->GetTime(&clockTime))) {
      now = clockTime - runStart_;
      return true;
    }
  }
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  const LONGLONG ticks = counter.QuadPart - wallRunStart_;
  now = static_cast<REFERENCE_TIME>(ticks / frequency.QuadPart * 10000000 +
                                    (ticks % frequency.QuadPart) * 10000000 / frequency.QuadPart);
  return true;
}

bool SourceStream::WaitForStreamTime(REFERENCE_TIME due) {
  const HANDLE stopOrRun[2] = {stopEvent_, runEvent_};
  for (;;) {
    if (WaitForMultipleObjects(2, stopOrRun, FALSE, INFINITE) == WAIT_OBJECT_0) return false;
    REFERENCE_TIME now = 0;
    CurrentStreamTime(now);
    if (now >= due) return true;
    const REFERENCE_TIME milliseconds =
        std::clamp<REFERENCE_TIME>((due - now + kUnitsPerMillisecond - 1) / kUnitsPerMillisecond, 1,
                                   kLongestWaitMilliseconds);
    if (WaitForSingleObject(stopEvent_, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0) return false;
  }
}

DWORD WINAPI SourceStream::ThreadEntry(void* self) {
  // The allocator and the downstream pins are free-threaded; COM is initialised for any helper
  // that the derived pin may create.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  static_cast<SourceStream*>(self)->ThreadLoop();
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

void SourceStream::ThreadLoop() {
  const HANDLE stopOrRun[2] = {stopEvent_, runEvent_};
  for (;;) {
    if (WaitForMultipleObjects(2, stopOrRun, FALSE, INFINITE) == WAIT_OBJECT_0) return;
    IMediaSample* sample = nullptr;
    if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0))) return;  // decommitted: stopping
    const HRESULT filled = FillBuffer(sample);
    HRESULT delivered = S_OK;
    if (filled == S_OK) delivered = inputPin_->Receive(sample);
    if (filled == S_OK && FAILED(delivered)) SampleNotDelivered();
    sample->Release();
    if (filled == S_FALSE) {
      connectedPin_->EndOfStream();
      return;
    }
    // A sample that could not be filled or delivered (downstream stopping, an error) ends this
    // run's stream; the next Pause starts a new thread.
    if (filled != S_OK || FAILED(delivered)) return;
  }
}

}  // namespace kalimo::dshow
