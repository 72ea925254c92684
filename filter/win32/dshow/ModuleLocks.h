#pragma once
// What DllCanUnloadNow asks: are COM objects of this DLL alive, or has a client locked the server?

namespace kalimo::dshow {

void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
bool ModuleInUse();

}  // namespace kalimo::dshow
