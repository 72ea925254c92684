#pragma once
// The IUnknown part of a COM object that offers one interface: QueryInterface for IUnknown and that
// interface, and a reference count that starts at 1 and deletes the object at 0.
#include <atomic>

#include "filter/win32/dshow/DirectShow.h"

namespace kalimo::dshow {

template <typename Interface>
class SingleInterfaceObject : public Interface {
 public:
  SingleInterfaceObject() = default;
  virtual ~SingleInterfaceObject() = default;
  SingleInterfaceObject(const SingleInterfaceObject&) = delete;
  SingleInterfaceObject& operator=(const SingleInterfaceObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace kalimo::dshow
