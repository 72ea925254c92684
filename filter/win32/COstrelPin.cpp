#include "filter/win32/COstrelPin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/FrameSectionLayout.h"
#include "filter/win32/COstrel.h"
#include "filter/win32/OstrelIds.h"
#include "filter/win32/dshow/SourceFilter.h"
#include "platform/ReceiverPlatform.h"

namespace kalimo {

using dshow::AutoLock;
using dshow::MediaType;

namespace {

LONG DibSize(LONG width, LONG height) { return static_cast<LONG>(DibStride(width) * std::abs(height)); }

// The parts of a bitmap header that every type of this pin shares.
void FillRgb24Header(BITMAPINFOHEADER& header, LONG width, LONG height) {
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(DibSize(width, height));
  header.biClrImportant = 0;
}

// The largest picture a client may choose: what the frame section can carry.
bool ReasonableSize(LONG width, LONG height) {
  return width > 0 && height > 0 && width <= kMaxHeaderDimension && height <= kMaxHeaderDimension &&
         DibStride(width) * height <= kMaxFrameBytes;
}

// KeepAspect in the device entry: 1 fits a picture of another shape, 0 or missing stretches it.
FrameFit DeviceEntryFit() {
  DWORD value = 0;
  DWORD size = sizeof value;
  const bool stored = RegGetValueW(HKEY_CLASSES_ROOT, kDeviceEntryKey, kKeepAspectValue, RRF_RT_REG_DWORD, nullptr,
                                   &value, &size) == ERROR_SUCCESS;
  return stored && value != 0 ? FrameFit::kKeepAspect : FrameFit::kStretch;
}

void DebugPrint(const char* format, long a, long b = 0, long c = 0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  platform::DebugOutput(text);
}

}  // namespace

COstrelPin::COstrelPin(HRESULT* phr, COstrel* parent) : SourceStream(parent, kPinName), parent_(parent) {
  InitializeCriticalSection(&sharedStateLock_);
  // The initial type: RGB24 640 x 480 at 30 frames a second.
  m_mt.majortype = MEDIATYPE_Video;
  m_mt.subtype = MEDIASUBTYPE_RGB24;
  m_mt.bFixedSizeSamples = TRUE;
  m_mt.lSampleSize = 1;
  m_mt.bTemporalCompression = FALSE;
  m_mt.formattype = FORMAT_VideoInfo;
  auto* info = reinterpret_cast<VIDEOINFOHEADER*>(m_mt.AllocateFormat(sizeof(VIDEOINFOHEADER)));
  if (!info) {
    if (phr) *phr = E_OUTOFMEMORY;
    return;
  }
  info->AvgTimePerFrame = kFrameLength;
  FillRgb24Header(info->bmiHeader, currentWidth_, currentHeight_);
  info->dwBitRate = static_cast<DWORD>(10000000 / info->AvgTimePerFrame) * info->bmiHeader.biSizeImage * 8;
}

COstrelPin::~COstrelPin() {
  Inactive();  // the worker uses this object's members; stop it before they go
  DeleteCriticalSection(&sharedStateLock_);
}

STDMETHODIMP COstrelPin::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IAMStreamConfig) {
    *object = static_cast<IAMStreamConfig*>(this);
  } else if (riid == IID_IKsPropertySet) {
    *object = static_cast<IKsPropertySet*>(this);
  } else {
    return BaseQueryInterface(riid, object);
  }
  AddRef();
  return S_OK;
}

HRESULT COstrelPin::GetMediaType(int iPosition, MediaType* pmt) {
  if (!pmt) return E_POINTER;
  AutoLock lock(Filter()->StateLock());
  if (iPosition < 0) return E_INVALIDARG;
  if (iPosition >= kOfferedTypes) return VFW_S_NO_MORE_ITEMS;
  // Only the type that FillBuffer fills is offered: 24-bit RGB of the current size.
  pmt->Clear();
  auto* info = reinterpret_cast<VIDEOINFO*>(pmt->AllocateFormat(sizeof(VIDEOINFO)));
  if (!info) return E_OUTOFMEMORY;
  FillRgb24Header(info->bmiHeader, currentWidth_, currentHeight_);
  pmt->majortype = MEDIATYPE_Video;
  pmt->subtype = MEDIASUBTYPE_RGB24;
  pmt->formattype = FORMAT_VideoInfo;
  pmt->bTemporalCompression = FALSE;
  pmt->bFixedSizeSamples = TRUE;
  pmt->lSampleSize = info->bmiHeader.biSizeImage;
  return S_OK;
}

HRESULT COstrelPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
  if (!pmt) return E_POINTER;
  if (pmt->majortype != MEDIATYPE_Video || !pmt->bFixedSizeSamples) return E_INVALIDARG;
  // 8-, 16- and 32-bit types would be delivered without a picture, so they are refused.
  if (pmt->subtype != MEDIASUBTYPE_RGB24) return E_INVALIDARG;
  const VIDEOINFOHEADER* info = dshow::VideoInfoOf(*pmt);
  if (!info) return E_INVALIDARG;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount != 24 || header.biCompression != BI_RGB) return E_INVALIDARG;
  if (header.biWidth != currentWidth_ || header.biHeight != currentHeight_) return E_INVALIDARG;
  return S_OK;
}

HRESULT COstrelPin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
  AutoLock lock(Filter()->StateLock());
  HRESULT hr = SourceStream::SetMediaType(pmt);
  if (FAILED(hr)) return hr;
  const VIDEOINFOHEADER* info = m_mt.VideoInfo();
  if (!info) return E_UNEXPECTED;
  switch (info->bmiHeader.biBitCount) {
    case 8:
    case 16:
    case 24:
    case 32:
      currentWidth_ = info->bmiHeader.biWidth;
      currentHeight_ = info->bmiHeader.biHeight;
      return S_OK;
    default:
      return E_INVALIDARG;
  }
}

HRESULT COstrelPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProperties) {
  if (!pAlloc || !pProperties) return E_POINTER;
  AutoLock lock(Filter()->StateLock());
  const VIDEOINFOHEADER* info = m_mt.VideoInfo();
  if (!info) return E_UNEXPECTED;
  fit_ = DeviceEntryFit();  // each connection follows the user's latest choice
  // The picture FillBuffer writes, whatever biSizeImage the negotiated type claims.
  const LONG imageSize = DibSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight);
  if (imageSize <= 0) return E_UNEXPECTED;
  // More than one buffer: a Smart Tee that shares this allocator copies each sample into a second
  // buffer while the first is still held, and a renderer may keep the sample it shows.
  pProperties->cBuffers = std::max<LONG>(kBuffers, pProperties->cBuffers);
  pProperties->cbBuffer = imageSize;
  if (pProperties->cbAlign <= 0) pProperties->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(pProperties, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < imageSize ? E_FAIL : S_OK;
}

HRESULT COstrelPin::FillBuffer(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;

  // Frame n is due at stream time n x 1/30 s: waiting for it paces the pin on the graph's clock.
  // The wait comes before the lock, so that a paused graph does not hold up GetFormat and the like.
  // Only this thread advances the frame count.
  const REFERENCE_TIME rtStart = core_.FrameNumber() * kFrameLength;
  if (!WaitForStreamTime(rtStart)) return VFW_E_WRONG_STATE;  // stopping: the sample is dropped
  AutoLock shared(&sharedStateLock_);

  BYTE* pData = nullptr;
  if (FAILED(pSample->GetPointer(&pData)) || !pData) return E_UNEXPECTED;
  const long size = pSample->GetSize();
  const VIDEOINFOHEADER* info = m_mt.VideoInfo();
  if (!info || size <= 0) return E_UNEXPECTED;
  const LONG width = info->bmiHeader.biWidth;
  const LONG height = info->bmiHeader.biHeight;
  DebugPrint("width = %ld,height = %ld ,size data = %ld\n", width, height, size);

  // Black until the first frame; the copy never runs past the sample, whatever its size.
  const FrameTarget target{pData, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), DibStride(width),
                           RowOrder::kBottomUp};
  core_.FillBuffer(GetReceiver(), target, static_cast<std::size_t>(size), FrameChoice::kOldest, fit_);
  pSample->SetActualDataLength(std::min<long>(size, DibSize(width, height)));

  REFERENCE_TIME rtStop = rtStart + kFrameLength;
  REFERENCE_TIME start = rtStart;
  const HRESULT hr = pSample->SetTime(&start, &rtStop);
  if (FAILED(hr)) DebugPrint("setTime error code %ld", static_cast<long>(hr));
  pSample->SetSyncPoint(TRUE);
  return S_OK;
}

// The sample refused at a stop takes its number back: after the next Run the stamps go on
// without a gap, as the client counts them.
void COstrelPin::SampleNotDelivered() { core_.TakeBackLastFrame(); }

STDMETHODIMP COstrelPin::Notify(IBaseFilter*, Quality) { return E_FAIL; }

STDMETHODIMP COstrelPin::SetFormat(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return S_OK;
  // Only a type this pin can fill: RGB24 of a size the frame section can carry.
  const VIDEOINFOHEADER* info = dshow::VideoInfoOf(*pmt);
  if (pmt->majortype != MEDIATYPE_Video || pmt->subtype != MEDIASUBTYPE_RGB24 || !info ||
      info->bmiHeader.biBitCount != 24 || !ReasonableSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight)) {
    return VFW_E_INVALIDMEDIATYPE;
  }
  // Changing the size under a running stream would put one size's picture into the other's samples.
  if (IsConnected() && Filter()->State() != State_Stopped) return VFW_E_NOT_STOPPED;
  {
    AutoLock shared(&sharedStateLock_);
    const HRESULT hr = m_mt.Set(*pmt);
    if (FAILED(hr)) return hr;
    // The new size is in place before the reconnection asks CheckMediaType about it.
    currentWidth_ = info->bmiHeader.biWidth;
    currentHeight_ = info->bmiHeader.biHeight;
  }
  if (IsConnected() && Filter()->Graph()) Filter()->Graph()->Reconnect(this);
  return S_OK;
}

STDMETHODIMP COstrelPin::GetFormat(AM_MEDIA_TYPE** ppmt) {
  if (!ppmt) return E_POINTER;
  AutoLock shared(&sharedStateLock_);
  *ppmt = dshow::CreateMediaType(m_mt);
  return *ppmt ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COstrelPin::GetNumberOfCapabilities(int* piCount, int* piSize) {
  if (!piCount || !piSize) return E_POINTER;
  *piCount = static_cast<int>(std::size(OstrelPin::kSizes));
  *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP COstrelPin::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
  if (iIndex < 0 || iIndex >= static_cast<int>(std::size(OstrelPin::kSizes)) || !ppmt) return E_INVALIDARG;
  const LONG nResolutionWidth = OstrelPin::kSizes[iIndex].width;
  const LONG nResolutionHeight = OstrelPin::kSizes[iIndex].height;

  MediaType type;
  {
    AutoLock shared(&sharedStateLock_);
    if (FAILED(type.Set(m_mt))) return E_OUTOFMEMORY;
  }
  // The current type's timing, in a VIDEOINFOHEADER block of its own.
  VIDEOINFOHEADER kept{};
  if (const VIDEOINFOHEADER* current = type.VideoInfo()) kept = *current;
  auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocateFormat(sizeof(VIDEOINFOHEADER)));
  if (!info) return E_OUTOFMEMORY;
  *info = kept;
  info->bmiHeader = BITMAPINFOHEADER{};
  FillRgb24Header(info->bmiHeader, nResolutionWidth, nResolutionHeight);
  SetRectEmpty(&info->rcSource);
  SetRectEmpty(&info->rcTarget);
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  type.formattype = FORMAT_VideoInfo;
  type.bTemporalCompression = FALSE;
  type.bFixedSizeSamples = FALSE;
  type.lSampleSize = info->bmiHeader.biSizeImage;

  if (pSCC) {
    auto* caps = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(pSCC);
    *caps = VIDEO_STREAM_CONFIG_CAPS{};
    caps->guid = FORMAT_VideoInfo;
    caps->VideoStandard = 0;
    caps->InputSize = {nResolutionWidth, nResolutionHeight};
    caps->MinCroppingSize = {80, 60};
    caps->MaxCroppingSize = {nResolutionWidth, nResolutionHeight};
    caps->CropGranularityX = 80;
    caps->CropGranularityY = 60;
    caps->MinOutputSize = {80, 60};
    caps->MaxOutputSize = {nResolutionWidth, nResolutionHeight};
    caps->MinFrameInterval = 200000;
    caps->MaxFrameInterval = 50000000;
    caps->MinBitsPerSecond = 23040;
    caps->MaxBitsPerSecond = nResolutionWidth * nResolutionHeight * 3 * 8 * 50;
  }
  *ppmt = dshow::CreateMediaType(type);
  if (!*ppmt) return E_OUTOFMEMORY;
  platform::DebugOutput("come here\n");
  return S_OK;
}

STDMETHODIMP COstrelPin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COstrelPin::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData, DWORD cbPropData,
                             DWORD* pcbReturned) {
  if (guidPropSet != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (dwPropID != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!pPropData && !pcbReturned) return E_POINTER;
  if (pcbReturned) *pcbReturned = sizeof(GUID);
  if (!pPropData) return S_OK;
  if (cbPropData < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(pPropData) = PIN_CATEGORY_CAPTURE;
  return S_OK;
}

STDMETHODIMP COstrelPin::QuerySupported(REFGUID, DWORD, DWORD*) { return S_OK; }

}  // namespace kalimo
