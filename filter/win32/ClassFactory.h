#pragma once
// The class factory that DllGetClassObject hands out for the filter's class identifier.
#include "filter/win32/dshow/DirectShow.h"

namespace kalimo {

HRESULT CreateFilterClassFactory(REFIID riid, void** object);

}  // namespace kalimo
