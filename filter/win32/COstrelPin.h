#pragma once
// The camera's one output pin "Out": RGB24 at 640 x 480, or 320 x 240 when a client chooses it
// through IAMStreamConfig before connecting; one sample every 1/30 s of stream time, each filled
// from the frame receiver.
#include "filter/core/OstrelPin.h"
#include "filter/win32/dshow/SourceStream.h"

namespace kalimo {

class COstrel;

class COstrelPin final : public dshow::SourceStream, public IAMStreamConfig, public IKsPropertySet {
 public:
  static constexpr REFERENCE_TIME kFrameLength = 333333;  // 1/30 s in 100 ns units
  static constexpr int kOfferedTypes = 5;                  // GetMediaType positions 0..4
  static constexpr LONG kBuffers = 3;                      // the fewest buffers asked of an allocator

  COstrelPin(HRESULT* phr, COstrel* parent);
  ~COstrelPin() override;

  // IUnknown: the two extra interfaces here, everything else from the base pin.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return SourceStream::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return SourceStream::Release(); }

  // The pin's types, buffers and samples.
  HRESULT GetMediaType(int iPosition, dshow::MediaType* pmt) override;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProperties) override;
  HRESULT FillBuffer(IMediaSample* pSample) override;
  void SampleNotDelivered() override;

  // IQualityControl: quality messages change nothing.
  STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;

  // IAMStreamConfig.
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
  STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
  STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

  // IKsPropertySet: the pin category, read only.
  STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData) override;
  STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                   LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
  STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

 private:
  COstrel* parent_;
  OstrelPin core_;                       // frame count, black until the first frame, the fill itself
  LONG currentWidth_ = 640;
  LONG currentHeight_ = 480;
  FrameFit fit_ = FrameFit::kStretch;    // the device entry's choice, read at each connection
  CRITICAL_SECTION sharedStateLock_;     // held for the whole of FillBuffer
};

}  // namespace kalimo
