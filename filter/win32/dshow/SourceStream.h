#pragma once
// An output pin that pushes samples from its own worker thread: connection and media-type
// negotiation, allocator choice, and the thread that gets a sample, lets FillBuffer fill it and
// delivers it downstream. A derived pin supplies the types, the buffer size and FillBuffer.
#include <string>

#include "filter/win32/dshow/MediaTypes.h"

namespace kalimo::dshow {

class SourceFilter;

class SourceStream : public IPin, public IQualityControl {
 public:
  // The pin adds itself to `filter`'s pin list; the filter deletes it.
  SourceStream(SourceFilter* filter, const wchar_t* pinName);
  virtual ~SourceStream();
  SourceStream(const SourceStream&) = delete;
  SourceStream& operator=(const SourceStream&) = delete;

  // IUnknown: the pin lives as long as its filter, so its count is the filter's.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin.
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IQualityControl.
  STDMETHODIMP Notify(IBaseFilter* sender, Quality quality) override;
  STDMETHODIMP SetSink(IQualityControl* sink) override;

  // The standard answers of the pin itself, for derived pins that add interfaces.
  HRESULT BaseQueryInterface(REFIID riid, void** object);

  // What a derived pin decides.
  virtual HRESULT GetMediaType(int position, MediaType* type) = 0;  // S_OK, VFW_S_NO_MORE_ITEMS or an error
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) = 0;     // S_OK only for a type it fills
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);           // stores the type in m_mt
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // S_OK delivers the sample; S_FALSE ends the stream; an error stops the thread.
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  // A filled sample that downstream refused (it is stopping): the client never saw it.
  virtual void SampleNotDelivered() {}

  // Called by the filter, under its state lock.
  HRESULT Active();                                     // stopped -> paused: commit, start the thread
  void Inactive();                                      // -> stopped: decommit, join the thread
  void Run(REFERENCE_TIME start, IReferenceClock* clock);  // -> running: samples start to flow
  void PauseRunning();                                  // running -> paused: samples stop

  bool IsConnected() const { return connectedPin_ != nullptr; }
  SourceFilter* Filter() const { return filter_; }

 protected:
  // Waits until the stream time of the current run reaches `due` (100 ns units). Stream time
  // comes from the graph's clock; without one, from the time since Run. Paused time does not
  // count. Returns false when the pin is stopping: the caller gives up the sample.
  bool WaitForStreamTime(REFERENCE_TIME due);

  MediaType m_mt;  // the pin's current type (offered, negotiated or set through SetFormat)

 private:
  HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);
  HRESULT DecideAllocator();
  void ReleaseConnection();
  bool CurrentStreamTime(REFERENCE_TIME& now);
  static DWORD WINAPI ThreadEntry(void* self);
  void ThreadLoop();

  SourceFilter* filter_;
  std::wstring name_;
  IPin* connectedPin_ = nullptr;
  IMemInputPin* inputPin_ = nullptr;
  IMemAllocator* allocator_ = nullptr;

  HANDLE thread_ = nullptr;
  HANDLE stopEvent_ = nullptr;  // manual reset: set while the pin is stopping or stopped
  HANDLE runEvent_ = nullptr;   // manual reset: set while the filter runs

  CRITICAL_SECTION timeLock_;  // guards the fields below, read by the worker thread
  IReferenceClock* clock_ = nullptr;
  REFERENCE_TIME runStart_ = 0;
  LONGLONG wallRunStart_ = 0;  // QueryPerformanceCounter at Run, for graphs without a clock
};

}  // namespace kalimo::dshow
