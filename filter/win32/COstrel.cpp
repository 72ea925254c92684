#include "filter/win32/COstrel.h"

#include <new>

#include "filter/core/FrameReceiver.h"
#include "filter/win32/COstrelPin.h"
#include "filter/win32/OstrelIds.h"

namespace kalimo {

COstrel* COstrel::CreateInstance(HRESULT* phr) {
  HRESULT hr = S_OK;
  auto* filter = new (std::nothrow) COstrel(&hr);
  if (!filter) hr = E_OUTOFMEMORY;
  if (filter && FAILED(hr)) {
    delete filter;
    filter = nullptr;
  }
  if (phr) *phr = hr;
  return filter;
}

COstrel::COstrel(HRESULT* phr) : SourceFilter(CLSID_Ostrel) {
  dshow::AutoLock lock(StateLock());
  AcquireReceiver();
  m_pPin = new (std::nothrow) COstrelPin(phr, this);
  if (!m_pPin) *phr = E_OUTOFMEMORY;
}

COstrel::~COstrel() {
  delete m_pPin;
  m_pPin = nullptr;
  ReleaseReceiver();
}

STDMETHODIMP COstrel::QueryInterface(REFIID riid, void** object) {
  if ((riid == IID_IAMStreamConfig || riid == IID_IKsPropertySet) && m_pPin) {
    return m_pPin->QueryInterface(riid, object);
  }
  return BaseQueryInterface(riid, object);
}

}  // namespace kalimo
