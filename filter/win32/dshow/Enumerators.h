#pragma once
// The enumerators a filter and its pins hand out: pins of a filter, media types of a pin.
#include "filter/win32/dshow/DirectShow.h"

namespace kalimo::dshow {

class SourceFilter;
class SourceStream;

// Both enumerators hold a reference on the filter, which keeps its pins alive.
HRESULT CreatePinEnumerator(SourceFilter* filter, IEnumPins** result);
HRESULT CreateMediaTypeEnumerator(SourceStream* pin, IEnumMediaTypes** result);

}  // namespace kalimo::dshow
