#include "shell/app/XvidStatus.h"

#include "platform/RegistryStore.h"

namespace kalimo {

bool WriteXvidDisplayStatus(int& error) {
  using platform::RegistryStore;
  constexpr auto kRoot = platform::RegistryRoot::kCurrentUser;
  constexpr auto kVolatile = platform::RegistryLifetime::kVolatile;
  return RegistryStore::CreateKey(kRoot, kXvidKey, error, kVolatile) &&
         RegistryStore::WriteDword(kRoot, kXvidKey, kXvidDisplayStatusValue, 0, error, kVolatile);
}

}  // namespace kalimo
