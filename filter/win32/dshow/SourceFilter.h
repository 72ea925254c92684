#pragma once
// A live source filter: IBaseFilter over a list of output pins (SourceStream), a state lock, the
// graph's clock and the start time of the current run. Derived classes create the pins.
#include <atomic>
#include <vector>

#include "filter/win32/dshow/DirectShow.h"

namespace kalimo::dshow {

class SourceStream;

class SourceFilter : public IBaseFilter, public IAMFilterMiscFlags {
 public:
  explicit SourceFilter(const CLSID& classId);
  virtual ~SourceFilter();
  SourceFilter(const SourceFilter&) = delete;
  SourceFilter& operator=(const SourceFilter&) = delete;

  // IUnknown. The count starts at 0; the class factory's QueryInterface takes the first reference.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPersist, IMediaFilter, IBaseFilter.
  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

  // IAMFilterMiscFlags: tells the graph that this filter is a source (it sends no EC_COMPLETE).
  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  // The standard answers of the filter itself, for derived classes that route some IIDs elsewhere.
  HRESULT BaseQueryInterface(REFIID riid, void** object);

  CRITICAL_SECTION* StateLock() { return &stateLock_; }
  FILTER_STATE State() const { return state_; }
  IFilterGraph* Graph() const { return graph_; }  // not referenced: the graph owns the filter
  int PinCount() const { return static_cast<int>(pins_.size()); }
  SourceStream* Pin(int index) const;

 protected:
  // Pins register themselves on construction; the derived filter deletes them.
  friend class SourceStream;
  void AddPin(SourceStream* pin) { pins_.push_back(pin); }
  void RemovePin(SourceStream* pin);

 private:
  std::atomic<ULONG> references_{0};
  CLSID classId_;
  CRITICAL_SECTION stateLock_;
  FILTER_STATE state_ = State_Stopped;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;
  WCHAR name_[MAX_FILTER_NAME] = {};
  std::vector<SourceStream*> pins_;
};

// Holds a CRITICAL_SECTION for a scope.
class AutoLock {
 public:
  explicit AutoLock(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~AutoLock() { LeaveCriticalSection(lock_); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace kalimo::dshow
