#include "filter/win32/dshow/MediaTypes.h"

#include <cstring>

namespace kalimo::dshow {

void FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.cbFormat != 0 || type.pbFormat) CoTaskMemFree(type.pbFormat);
  type.cbFormat = 0;
  type.pbFormat = nullptr;
  if (type.pUnk) type.pUnk->Release();
  type.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source) {
  target = source;
  target.pbFormat = nullptr;
  target.cbFormat = 0;
  if (source.cbFormat != 0 && source.pbFormat) {
    target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target.pbFormat) {
      target.pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
    target.cbFormat = source.cbFormat;
  }
  if (target.pUnk) target.pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return nullptr;
  if (FAILED(CopyMediaType(*type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

bool MatchesPartialType(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial) {
  if (!partial) return true;
  if (partial->majortype != GUID_NULL && partial->majortype != full.majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != full.subtype) return false;
  if (partial->formattype != GUID_NULL && partial->formattype != full.formattype) return false;
  return true;
}

VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type) {
  if (type.formattype != FORMAT_VideoInfo || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return nullptr;
  }
  return reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
}

MediaType::MediaType() : AM_MEDIA_TYPE{} {}

MediaType::~MediaType() { FreeMediaType(*this); }

HRESULT MediaType::Set(const AM_MEDIA_TYPE& source) {
  if (&source == this) return S_OK;
  AM_MEDIA_TYPE copy{};
  const HRESULT hr = CopyMediaType(copy, source);
  if (FAILED(hr)) return hr;
  FreeMediaType(*this);
  static_cast<AM_MEDIA_TYPE&>(*this) = copy;
  return S_OK;
}

void MediaType::Clear() {
  FreeMediaType(*this);
  static_cast<AM_MEDIA_TYPE&>(*this) = AM_MEDIA_TYPE{};
}

BYTE* MediaType::AllocateFormat(ULONG length) {
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return nullptr;
  std::memset(block, 0, length);
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = length;
  return block;
}

VIDEOINFOHEADER* MediaType::VideoInfo() const { return VideoInfoOf(*this); }

}  // namespace kalimo::dshow
