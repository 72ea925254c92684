#pragma once
// Owning helpers for AM_MEDIA_TYPE: the format block and pUnk belong to the type and are freed with it.
#include "filter/win32/dshow/DirectShow.h"

namespace kalimo::dshow {

// Frees what `type` points to (format block, pUnk) and leaves it empty; the struct itself stays.
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees a type that was allocated with CoTaskMemAlloc, as enumerators and GetFormat hand them out.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy into an empty `target`. E_OUTOFMEMORY leaves `target` empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
// A deep copy in task memory for a caller who frees it with DeleteMediaType; nullptr without memory.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE& source);

// True when every field of `partial` that is not GUID_NULL equals the one of `full`
// (a missing `partial` matches everything).
bool MatchesPartialType(const AM_MEDIA_TYPE& full, const AM_MEDIA_TYPE* partial);

// An AM_MEDIA_TYPE that owns its format block.
class MediaType : public AM_MEDIA_TYPE {
 public:
  MediaType();
  ~MediaType();
  MediaType(const MediaType&) = delete;
  MediaType& operator=(const MediaType&) = delete;

  HRESULT Set(const AM_MEDIA_TYPE& source);
  void Clear();
  // Replaces the format block by `length` zeroed bytes; nullptr without memory.
  BYTE* AllocateFormat(ULONG length);
  // The VIDEOINFOHEADER of a FORMAT_VideoInfo type whose block is long enough, else nullptr.
  VIDEOINFOHEADER* VideoInfo() const;
};

// The same check for any type: FORMAT_VideoInfo with a block of at least sizeof(VIDEOINFOHEADER).
VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type);

}  // namespace kalimo::dshow
