#include "filter/win32/dshow/ModuleLocks.h"

#include <atomic>

namespace kalimo::dshow {

namespace {
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
}  // namespace

void ObjectCreated() { ++liveObjects; }
void ObjectDestroyed() { --liveObjects; }
void LockServer(bool lock) { lock ? ++serverLocks : --serverLocks; }
bool ModuleInUse() { return liveObjects.load() > 0 || serverLocks.load() > 0; }

}  // namespace kalimo::dshow
