#include "filter/win32/ClassFactory.h"

#include <atomic>
#include <new>

#include "filter/win32/COstrel.h"
#include "filter/win32/dshow/ModuleLocks.h"
#include "filter/win32/dshow/SingleInterfaceObject.h"

namespace kalimo {

namespace {

class FilterClassFactory final : public dshow::SingleInterfaceObject<IClassFactory> {
 public:
  FilterClassFactory() { dshow::ObjectCreated(); }
  ~FilterClassFactory() override { dshow::ObjectDestroyed(); }
  FilterClassFactory(const FilterClassFactory&) = delete;
  FilterClassFactory& operator=(const FilterClassFactory&) = delete;


  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    COstrel* filter = COstrel::CreateInstance(&hr);
    if (!filter) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    filter->AddRef();
    hr = filter->QueryInterface(riid, object);
    filter->Release();  // deletes the filter when the interface was refused
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    dshow::LockServer(lock != FALSE);
    return S_OK;
  }
};

}  // namespace

HRESULT CreateFilterClassFactory(REFIID riid, void** object) {
  auto* factory = new (std::nothrow) FilterClassFactory;
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, object);
  factory->Release();
  return hr;
}

}  // namespace kalimo
