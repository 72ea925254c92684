#include "library/settings/SettingValues.h"

#include "library/settings/SettingParams.h"

namespace kalimo {

SettingValues::SettingValues() : resourcesPath(GetDefaultStorageRoot()) {}

}  // namespace kalimo
