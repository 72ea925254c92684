#include "filter/win32/dshow/Enumerators.h"

#include <atomic>
#include <new>

#include "filter/win32/dshow/SingleInterfaceObject.h"
#include "filter/win32/dshow/SourceFilter.h"
#include "filter/win32/dshow/SourceStream.h"

namespace kalimo::dshow {

namespace {

// The common part: position and the filter reference.
template <typename Interface>
class Enumerator : public SingleInterfaceObject<Interface> {
 public:
  Enumerator(SourceFilter* filter, ULONG position) : filter_(filter), position_(position) { filter_->AddRef(); }
  ~Enumerator() override { filter_->Release(); }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  STDMETHODIMP Skip(ULONG count) override {
    position_ += count;
    return position_ <= Count() ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }

 protected:
  virtual ULONG Count() = 0;
  SourceFilter* filter_;
  ULONG position_;
};

class PinEnumerator final : public Enumerator<IEnumPins> {
 public:
  using Enumerator::Enumerator;
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (!pins) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG done = 0;
    while (done < count && position_ < Count()) {
      pins[done] = filter_->Pin(static_cast<int>(position_++));
      pins[done]->AddRef();
      ++done;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Clone(IEnumPins** result) override {
    if (!result) return E_POINTER;
    *result = new (std::nothrow) PinEnumerator(filter_, position_);
    return *result ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  ULONG Count() override { return static_cast<ULONG>(filter_->PinCount()); }
};

class MediaTypeEnumerator final : public Enumerator<IEnumMediaTypes> {
 public:
  MediaTypeEnumerator(SourceStream* pin, ULONG position) : Enumerator(pin->Filter(), position), pin_(pin) {}
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (!types) return E_POINTER;
    if (count > 1 && !fetched) return E_INVALIDARG;
    ULONG done = 0;
    while (done < count) {
      MediaType type;
      if (pin_->GetMediaType(static_cast<int>(position_), &type) != S_OK) break;
      types[done] = CreateMediaType(type);
      if (!types[done]) break;
      ++position_;
      ++done;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Clone(IEnumMediaTypes** result) override {
    if (!result) return E_POINTER;
    *result = new (std::nothrow) MediaTypeEnumerator(pin_, position_);
    return *result ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  ULONG Count() override {
    ULONG count = 0;
    MediaType type;
    while (pin_->GetMediaType(static_cast<int>(count), &type) == S_OK) {
      type.Clear();
      ++count;
    }
    return count;
  }

 private:
  SourceStream* pin_;
};

}  // namespace

HRESULT CreatePinEnumerator(SourceFilter* filter, IEnumPins** result) {
  if (!result) return E_POINTER;
  *result = new (std::nothrow) PinEnumerator(filter, 0);
  return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateMediaTypeEnumerator(SourceStream* pin, IEnumMediaTypes** result) {
  if (!result) return E_POINTER;
  *result = new (std::nothrow) MediaTypeEnumerator(pin, 0);
  return *result ? S_OK : E_OUTOFMEMORY;
}

}  // namespace kalimo::dshow
