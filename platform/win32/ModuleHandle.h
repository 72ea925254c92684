#pragma once
// The DLL's own module handle, stored by DllMain at process attach, so that the receiver finds the
// folder the DLL was loaded from.
#include <windows.h>

namespace kalimo::platform {

void SetModuleHandleOfFilter(HMODULE module);
// The stored handle; before DllMain stored one, the module that holds this code.
HMODULE ModuleHandleOfFilter();

}  // namespace kalimo::platform
