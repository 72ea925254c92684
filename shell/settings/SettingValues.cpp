#include "shell/settings/SettingValues.h"

#include "shell/settings/SettingParams.h"

namespace kalimo {

SettingValues::SettingValues() : resourcesPath(GetDefaultStorageRoot()) {}

}  // namespace kalimo
