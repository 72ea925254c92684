#include "filter/win32/dshow/SourceFilter.h"

#include <algorithm>
#include <cwchar>

#include "filter/win32/dshow/Enumerators.h"
#include "filter/win32/dshow/ModuleLocks.h"
#include "filter/win32/dshow/SourceStream.h"

namespace kalimo::dshow {

SourceFilter::SourceFilter(const CLSID& classId) : classId_(classId) {
  InitializeCriticalSection(&stateLock_);
  ObjectCreated();
}

SourceFilter::~SourceFilter() {
  if (clock_) clock_->Release();
  DeleteCriticalSection(&stateLock_);
  ObjectDestroyed();
}

HRESULT SourceFilter::BaseQueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
    *object = static_cast<IBaseFilter*>(this);
  } else if (riid == IID_IAMFilterMiscFlags) {
    *object = static_cast<IAMFilterMiscFlags*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::QueryInterface(REFIID riid, void** object) { return BaseQueryInterface(riid, object); }

STDMETHODIMP_(ULONG) SourceFilter::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) SourceFilter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP SourceFilter::GetClassID(CLSID* classId) {
  if (!classId) return E_POINTER;
  *classId = classId_;
  return S_OK;
}

SourceStream* SourceFilter::Pin(int index) const {
  return index >= 0 && index < PinCount() ? pins_[static_cast<size_t>(index)] : nullptr;
}

void SourceFilter::RemovePin(SourceStream* pin) { pins_.erase(std::remove(pins_.begin(), pins_.end(), pin), pins_.end()); }

STDMETHODIMP SourceFilter::Stop() {
  AutoLock lock(&stateLock_);
  for (SourceStream* pin : pins_) pin->Inactive();
  state_ = State_Stopped;
  return S_OK;
}

STDMETHODIMP SourceFilter::Pause() {
  AutoLock lock(&stateLock_);
  if (state_ == State_Stopped) {
    for (SourceStream* pin : pins_) {
      const HRESULT hr = pin->Active();
      if (FAILED(hr)) {
        for (SourceStream* other : pins_) other->Inactive();
        return hr;
      }
    }
  } else if (state_ == State_Running) {
    for (SourceStream* pin : pins_) pin->PauseRunning();
  }
  state_ = State_Paused;
  // A live source produces nothing while paused, so the graph must not wait for it to cue.
  return VFW_S_CANT_CUE;
}

STDMETHODIMP SourceFilter::Run(REFERENCE_TIME start) {
  AutoLock lock(&stateLock_);
  if (state_ == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  for (SourceStream* pin : pins_) pin->Run(start, clock_);
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP SourceFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  AutoLock lock(&stateLock_);
  *state = state_;
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP SourceFilter::SetSyncSource(IReferenceClock* clock) {
  AutoLock lock(&stateLock_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP SourceFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  AutoLock lock(&stateLock_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::EnumPins(IEnumPins** pins) { return CreatePinEnumerator(this, pins); }

STDMETHODIMP SourceFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (SourceStream* candidate : pins_) {
    LPWSTR candidateId = nullptr;
    if (SUCCEEDED(candidate->QueryId(&candidateId))) {
      const bool same = std::wcscmp(candidateId, id) == 0;
      CoTaskMemFree(candidateId);
      if (same) {
        *pin = candidate;
        candidate->AddRef();
        return S_OK;
      }
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP SourceFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::wcsncpy(info->achName, name_, MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP SourceFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  AutoLock lock(&stateLock_);
  graph_ = graph;  // a weak pointer, as the graph holds the filter
  name_[0] = L'\0';
  if (name) {
    std::wcsncpy(name_, name, MAX_FILTER_NAME - 1);
    name_[MAX_FILTER_NAME - 1] = L'\0';
  }
  return S_OK;
}

STDMETHODIMP SourceFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP_(ULONG) SourceFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

}  // namespace kalimo::dshow
